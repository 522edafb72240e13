#pragma once

namespace dorv::platform {

// Opens the system's device manager console where the system has one. On
// Linux there is none: nothing opens and nothing is shown.
void OpenDeviceManager();

}  // namespace dorv::platform
