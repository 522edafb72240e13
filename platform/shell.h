#pragma once

namespace dorv::platform {

// Opens the system's device manager console where the system has one. On
// Linux there is none: nothing opens and nothing is shown.
void OpenDeviceManager();

// Hands memory the program has freed back to the system, for after a large
// release (a download's received lines once decoded): the allocator keeps
// freed small blocks for reuse otherwise, resident until the next download.
void ReleaseFreedMemory();

}  // namespace dorv::platform
