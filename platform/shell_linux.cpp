#include <malloc.h>

#include "platform/shell.h"

namespace dorv::platform {

void OpenDeviceManager() {}

void ReleaseFreedMemory() {
  malloc_trim(0);
}

}  // namespace dorv::platform
