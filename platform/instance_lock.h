#pragma once
#include <string>

namespace dorv::platform {

// The single-instance guard, held for the life of the object (and so of the
// process): on POSIX systems an exclusive lock on a named file in the runtime
// directory, on Windows the named mutex of that name.
class InstanceLock {
 public:
  explicit InstanceLock(const std::string& name);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // False when another process holds the lock or the file cannot be opened.
  bool Acquired() const { return acquired_; }
  // Why the lock could not be taken when that is not another process holding
  // it (the runtime directory or the lock file unusable); empty otherwise.
  const std::string& Error() const { return error_; }
  // What the guard is, for a message naming it (the lock file's path, the
  // mutex's name).
  const std::string& Holder() const { return holder_; }

 private:
  bool acquired_ = false;
  int fd_ = -1;             // the lock file (POSIX)
  void* handle_ = nullptr;  // the mutex (Windows)
  std::string error_;
  std::string holder_;
};

}  // namespace dorv::platform
