#include "platform/runtime_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace dorv::platform {

namespace {

std::string ChooseDir() {
  if (const char* d = std::getenv("DORV_RUNTIME_DIR"); d && *d) return d;
  if (const char* x = std::getenv("XDG_RUNTIME_DIR"); x && *x) return std::string(x) + "/dorv";
  return "/tmp/dorv-" + std::to_string(getuid());
}

void MakeDirs(const std::string& path) {
  // Create each missing component; only the last one gets the private mode
  // check, parents are created 0700 as well.
  for (size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos != path.size() && path[pos] != '/') continue;
    std::string part = path.substr(0, pos);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
      throw std::runtime_error("cannot create " + part + ": " + std::strerror(errno));
  }
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    throw std::runtime_error("runtime directory " + path + " is not a directory");
}

}  // namespace

std::string RuntimeDir() {
  std::string dir = ChooseDir();
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  MakeDirs(dir);
  return dir;
}

std::string RuntimePath(const std::string& name) {
  return RuntimeDir() + "/" + name;
}

}  // namespace dorv::platform
