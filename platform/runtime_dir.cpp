#include "platform/runtime_dir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <stdexcept>

namespace dorv::platform {

namespace {

std::string ChooseDir() {
  if (const char* d = std::getenv("DORV_RUNTIME_DIR"); d && *d) return d;
  if (const char* x = std::getenv("XDG_RUNTIME_DIR"); x && *x) return std::string(x) + "/dorv";
  return "/tmp/dorv-" + std::to_string(getuid());
}

std::string OctalMode(mode_t m) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04o", static_cast<unsigned>(m & 07777));
  return buf;
}

void MakeDirs(const std::string& path) {
  // Create each missing component, 0700 like the directory itself.
  for (size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos != path.size() && path[pos] != '/') continue;
    std::string part = path.substr(0, pos);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
      throw std::runtime_error("cannot create " + part + ": " + std::strerror(errno));
  }
}

}  // namespace

void CheckPrivateDir(const std::string& path) {
  // The directory holds the instance lock and the port registrations: anyone
  // who can write there (or who put a link there) could stop the program or
  // offer it a fake logger. lstat, so that a link is seen as a link.
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0)
    throw std::runtime_error("cannot use " + path + ": " + std::strerror(errno));
  if (S_ISLNK(st.st_mode))
    throw std::runtime_error("cannot use " + path +
                             ": it is a symbolic link, not a directory of its own");
  if (!S_ISDIR(st.st_mode)) throw std::runtime_error("cannot use " + path + ": not a directory");
  if (st.st_uid != geteuid())
    throw std::runtime_error("cannot use " + path + ": owned by user " + std::to_string(st.st_uid) +
                             ", not by this user (" + std::to_string(geteuid()) + ")");
  if (st.st_mode & 077)
    throw std::runtime_error("cannot use " + path + ": mode " + OctalMode(st.st_mode) +
                             " lets others in (it must be 0700)");
}

std::string RuntimeDir() {
  std::string dir = ChooseDir();
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  // Made once: later calls for the same directory only check it again (one
  // lstat), and make it anew only when it has gone.
  static std::mutex mutex;
  static std::string made;
  std::lock_guard<std::mutex> lock(mutex);
  if (dir == made) {
    try {
      CheckPrivateDir(dir);
      return dir;
    } catch (const std::runtime_error&) {
      made.clear();
    }
  }
  MakeDirs(dir);
  CheckPrivateDir(dir);
  made = dir;
  return dir;
}

std::string RuntimePath(const std::string& name) {
  return RuntimeDir() + "/" + name;
}

}  // namespace dorv::platform
