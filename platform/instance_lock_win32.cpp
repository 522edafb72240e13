// The single-instance guard on Windows: a named mutex, taken at creation.
#include <windows.h>

#include "platform/instance_lock.h"
#include "platform/win32_text.h"

namespace dorv::platform {

InstanceLock::InstanceLock(const std::string& name) {
  holder_ = "the mutex \"" + name + "\"";
  SetLastError(ERROR_SUCCESS);
  HANDLE h = CreateMutexW(nullptr, TRUE, win32::Widen(name).c_str());
  DWORD error = GetLastError();
  if (!h) {
    // Another kind of object holds the name, or the name cannot be used.
    error_ = "cannot create " + holder_ + ": " + win32::ErrorText(error);
    return;
  }
  handle_ = h;
  // Any error after the creation, in particular that the mutex exists
  // already, means another copy runs.
  acquired_ = error == ERROR_SUCCESS;
}

InstanceLock::~InstanceLock() {
  if (!handle_) return;
  if (acquired_) ReleaseMutex(static_cast<HANDLE>(handle_));
  CloseHandle(static_cast<HANDLE>(handle_));
}

}  // namespace dorv::platform
