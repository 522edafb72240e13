#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "platform/runtime_dir.h"

namespace dorv::platform {

InstanceLock::InstanceLock(const std::string& name) {
  std::string path;
  try {
    path = RuntimePath(name);
    holder_ = path;
  } catch (const std::exception& e) {
    error_ = e.what();
    return;
  }
  // O_CLOEXEC: a child process (the simulated logger, say) must not keep the
  // lock alive after this process ends.
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    error_ = "cannot open " + path + ": " + std::strerror(errno);
    return;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK) error_ = "cannot lock " + path + ": " + std::strerror(errno);
    close(fd);
    return;
  }
  fd_ = fd;
  acquired_ = true;
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) close(fd_);
}

}  // namespace dorv::platform
