#include "operations/csv_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "ui/exceptions.h"

namespace dorv::operations {

namespace {

constexpr off_t kMaxFileSize = 256L * 1024 * 1024;

[[noreturn]] void Fail(const std::string& what, const std::string& path, int err) {
  throw ui::Exception(what + ": " + path + ": " + std::strerror(err));
}

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

}  // namespace

void SaveLines(const std::string& path, const std::vector<std::string>& lines) {
  std::string text;
  size_t total = 0;
  for (auto& l : lines) total += l.size() + 2;
  text.reserve(total);
  for (auto& l : lines) {
    text += l;
    text += "\r\n";
  }
  std::string tmp = path + ".saving-XXXXXX";
  int fd = mkstemp(tmp.data());
  if (fd < 0) Fail("保存できません", path, errno);
  // mkstemp makes the file private; give it the mode of an ordinary new file,
  // or the mode of the file it replaces.
  struct stat old {};
  mode_t mode;
  if (stat(path.c_str(), &old) == 0) {
    mode = old.st_mode & 07777;
  } else {
    mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  int err = 0;
  if (fchmod(fd, mode) != 0) err = errno;
  if (!err && !WriteAll(fd, text.data(), text.size())) err = errno;
  if (!err && fsync(fd) != 0) err = errno;
  if (close(fd) != 0 && !err) err = errno;
  if (!err && rename(tmp.c_str(), path.c_str()) != 0) err = errno;
  if (err) {
    unlink(tmp.c_str());
    Fail("保存できません", path, err);
  }
}

std::vector<std::string> LoadLines(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Fail("読み込めません", path, errno);
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    int e = errno;
    close(fd);
    Fail("読み込めません", path, e);
  }
  if (S_ISDIR(st.st_mode)) {
    close(fd);
    Fail("読み込めません", path, EISDIR);
  }
  if (st.st_size > kMaxFileSize) {
    close(fd);
    Fail("読み込めません", path, EFBIG);
  }
  std::string text;
  char buf[65536];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      int e = errno;
      close(fd);
      Fail("読み込めません", path, e);
    }
    if (n == 0) break;
    text.append(buf, static_cast<size_t>(n));
    if (text.size() > static_cast<size_t>(kMaxFileSize)) {
      close(fd);
      Fail("読み込めません", path, EFBIG);
    }
  }
  close(fd);
  return SplitLines(text);
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n' && text[i] != '\r') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::string CsvSaveName(const std::string& chosen) {
  size_t slash = chosen.find_last_of("/\\");
  std::string name = slash == std::string::npos ? chosen : chosen.substr(slash + 1);
  return name.find('.') == std::string::npos ? chosen + ".csv" : chosen;
}

}  // namespace dorv::operations
