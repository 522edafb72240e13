// The device manager on Windows: the console "devmgmt.msc", opened by the
// shell with the default verb; its result is not looked at.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on
#include <malloc.h>

#include "platform/shell.h"

namespace dorv::platform {

void OpenDeviceManager() {
  ShellExecuteW(nullptr, nullptr, L"devmgmt.msc", nullptr, nullptr, SW_SHOWNORMAL);
}

void ReleaseFreedMemory() {
  // The C runtime's heap gives its free blocks back to the system.
  _heapmin();
}

}  // namespace dorv::platform
