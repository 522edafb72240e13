#include "platform/shell.h"

namespace dorv::platform {

void OpenDeviceManager() {}

}  // namespace dorv::platform
