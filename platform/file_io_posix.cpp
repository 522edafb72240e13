// Whole-file saving and loading on POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/file_io.h"

namespace dorv::platform {

namespace {

bool WriteAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    ssize_t w = write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

// The file a save writes: a symbolic link is followed to its target (also
// one that does not exist yet), so that the link stays and the file it
// names gets the text. Empty for a loop of links.
std::string SaveTarget(const std::string& path) {
  std::string target = path;
  for (int depth = 0; depth < 40; ++depth) {
    struct stat st {};
    if (lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return target;
    std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX), '\0');
    ssize_t n = readlink(target.c_str(), link.data(), link.size());
    if (n < 0) return target;
    link.resize(static_cast<size_t>(n));
    if (link.empty() || link[0] == '/') {
      target = link;
    } else {
      size_t slash = target.find_last_of('/');
      target = slash == std::string::npos ? link : target.substr(0, slash + 1) + link;
    }
  }
  return {};  // a loop of links
}

std::string DirOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Temporary files are named "<name>.saving-<pid>-XXXXXX" beside the target.
std::string TempPrefix(const std::string& base) {
  return base + ".saving-";
}

// Removes what a save of the same file left when its process was killed:
// this program's temporaries, of this user, whose process has ended.
void RemoveStaleTemporaries(const std::string& dir, const std::string& base) {
  DIR* d = opendir(dir.c_str());
  if (!d) return;
  const std::string prefix = TempPrefix(base);
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name.rfind(prefix, 0) != 0) continue;
    std::string rest = name.substr(prefix.size());
    size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string::npos || rest.size() - dash - 1 != 6 ||
        rest.find_first_not_of("0123456789") != dash)
      continue;
    long pid = std::strtol(rest.c_str(), nullptr, 10);
    if (pid <= 0 || kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    std::string path = dir + "/" + name;
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid())
      unlink(path.c_str());
  }
  closedir(d);
}

// A new name for the temporary file, not yet taken.
std::string TempName(const std::string& dir, const std::string& base) {
  return dir + "/" + TempPrefix(base) + std::to_string(getpid()) + "-XXXXXX";
}

}  // namespace

std::string ReplaceFileText(const std::string& path, const std::string& text) {
  const std::string target = SaveTarget(path);
  if (target.empty()) return std::strerror(ELOOP);
  const std::string dir = DirOf(target), base = BaseOf(target);
  RemoveStaleTemporaries(dir, base);

  // The new file gets the mode (and, where this user may, the owner) of the
  // file it replaces, or the mode of an ordinary new file.
  struct stat old {};
  const bool hadOld = stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  mode_t mode;
  if (hadOld) {
    mode = old.st_mode & 07777;
  } else {
    mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }

  // An unnamed file first: killed while writing, it leaves nothing behind.
  // It gets a name only once complete, and is renamed over the target at
  // once. Where the file system has no unnamed files, a named temporary
  // takes its place (left by a kill, the next save removes it).
  std::string tmp;
  bool named = false;
  int fd = open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0) {
    tmp = TempName(dir, base);
    fd = mkstemp(tmp.data());
    if (fd < 0) return std::strerror(errno);
    named = true;
  }
  int err = 0;
  if (fchmod(fd, mode) != 0) err = errno;
  if (!err && hadOld && (old.st_uid != geteuid() || old.st_gid != getegid())) {
    // Only a privileged user may give a file away; the group where allowed.
    if (fchown(fd, old.st_uid, old.st_gid) != 0)
      (void)!fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    // A change of owner clears the set-id bits: the mode once more.
    (void)!fchmod(fd, mode);
  }
  if (!err && !WriteAll(fd, text.data(), text.size())) err = errno;
  if (!err && fsync(fd) != 0) err = errno;
  if (!err && !named) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int tries = 0; tries < 100; ++tries) {
      tmp = TempName(dir, base);
      int t = mkstemp(tmp.data());  // picks a free name; the link replaces it
      if (t < 0) {
        err = errno;
        break;
      }
      close(t);
      unlink(tmp.c_str());
      if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, tmp.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        named = true;
        break;
      }
      if (errno != EEXIST) {
        err = errno;
        break;
      }
    }
  }
  if (close(fd) != 0 && !err) err = errno;
  if (!err && rename(tmp.c_str(), target.c_str()) != 0) err = errno;
  if (err) {
    if (named) unlink(tmp.c_str());
    return std::strerror(err);
  }
  // The rename itself on disk.
  int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    fsync(dfd);
    close(dfd);
  }
  return "";
}

std::string ReadRegularFile(const std::string& path, size_t maxBytes, std::string& text) {
  // Without blocking: a FIFO would wait for a writer for good. Its type is
  // checked before anything is read.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return std::strerror(errno);
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    int e = errno;
    close(fd);
    return std::strerror(e);
  }
  if (S_ISDIR(st.st_mode)) {
    close(fd);
    return std::strerror(EISDIR);
  }
  if (!S_ISREG(st.st_mode)) {
    close(fd);
    const char* kind = S_ISFIFO(st.st_mode)   ? "a FIFO"
                       : S_ISCHR(st.st_mode)  ? "a character device"
                       : S_ISBLK(st.st_mode)  ? "a block device"
                       : S_ISSOCK(st.st_mode) ? "a socket"
                                              : "a special file";
    return std::string("not a regular file (") + kind + ")";
  }
  if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
    close(fd);
    return std::strerror(EFBIG);
  }
  text.clear();
  char buf[65536];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      int e = errno;
      close(fd);
      return std::strerror(e);
    }
    if (n == 0) break;
    text.append(buf, static_cast<size_t>(n));
    if (text.size() > maxBytes) {
      close(fd);
      return std::strerror(EFBIG);
    }
  }
  close(fd);
  return "";
}

}  // namespace dorv::platform
