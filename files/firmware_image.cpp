#include "files/firmware_image.h"

#include "firmware_release.h"
#include "resources/resources.h"

namespace dorv::files {

std::vector<std::string> FirmwareImageLines() {
  return FirmwareImageLinesOf(resources::Get("firmware/PIC18F87K90.hex"));
}

bool FirmwareImageIsRelease() {
  return kFirmwareImageIsRelease;
}

}  // namespace dorv::files
