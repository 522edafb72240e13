#pragma once
#include <string>

namespace dorv::platform {

// The single-instance guard: an exclusive lock on a named file in the runtime
// directory, held for the life of the object (and so of the process).
class InstanceLock {
 public:
  explicit InstanceLock(const std::string& name);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // False when another process holds the lock or the file cannot be opened.
  bool Acquired() const { return fd_ >= 0; }
  // Why the lock could not be taken when that is not another process holding
  // it (the runtime directory or the lock file unusable); empty otherwise.
  const std::string& Error() const { return error_; }

 private:
  int fd_ = -1;
  std::string error_;
};

}  // namespace dorv::platform
