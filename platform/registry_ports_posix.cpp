// The parts of the port search that read this POSIX system: the runtime
// directory's port registrations, the checks on their devices, and the
// matching of a port given as a device path.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>

#include "platform/registry.h"

namespace dorv::platform {

bool SerialDeviceMatches(const SerialDeviceInfo& device, const std::string& port) {
  if (port.empty()) return true;
  if (port.size() > 3 && strncasecmp(port.c_str(), "COM", 3) == 0 &&
      port.find_first_not_of("0123456789", 3) == std::string::npos) {
    long n = std::strtol(port.c_str() + 3, nullptr, 10);
    return n > 0 && n == std::atol(device.portName.c_str() + 3);
  }
  if (device.device == port) return true;
  // The same device under another path (a udev link such as /dev/serial/by-id/...).
  char* a = realpath(port.c_str(), nullptr);
  char* b = realpath(device.device.c_str(), nullptr);
  bool same = a && b && std::strcmp(a, b) == 0;
  std::free(a);
  std::free(b);
  return same;
}

namespace {

bool ProcessAlive(long pid) {
  return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM);
}

// A registration is a few short lines; anything larger is not one.
constexpr size_t kMaxRegistrationBytes = 4096;

// Says once per process why a registration is not used: the tick reads the
// registrations every second, and the same refusal would repeat each time.
void Refuse(const std::string& name, const std::string& why) {
  static std::mutex mutex;
  static std::set<std::string> said;
  std::string text = "dorv: ignoring the port registration ports/" + name + ": " + why + "\n";
  std::lock_guard<std::mutex> lock(mutex);
  if (said.insert(text).second) std::fputs(text.c_str(), stderr);
}

// The registration's text: only a regular file of this user's, opened
// without following a link and without blocking (a FIFO would hang the open
// or the read), and read only up to the size a registration can have.
std::optional<std::string> ReadRegistration(const std::string& path, const std::string& name) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ELOOP)
      Refuse(name, "it is a symbolic link");
    else if (errno != ENOENT)  // removed since the listing: a port that left
      Refuse(name, std::strerror(errno));
    return std::nullopt;
  }
  std::string why;
  struct stat st {};
  if (fstat(fd, &st) != 0)
    why = std::strerror(errno);
  else if (!S_ISREG(st.st_mode))
    why = "not a regular file";
  else if (st.st_uid != geteuid())
    why = "owned by user " + std::to_string(st.st_uid) + ", not by this user";
  std::string text;
  if (why.empty()) {
    char buf[kMaxRegistrationBytes + 1];
    size_t got = 0;
    while (got < sizeof buf) {
      ssize_t n = read(fd, buf + got, sizeof buf - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    if (got > kMaxRegistrationBytes)
      why = "larger than " + std::to_string(kMaxRegistrationBytes) + " bytes";
    text.assign(buf, got);
  }
  close(fd);
  if (!why.empty()) {
    Refuse(name, why);
    return std::nullopt;
  }
  return text;
}

// The tty driver type ("serial", "pty:slave", "system:/dev/tty" ...) of a
// character device, from the kernel's list of tty drivers; empty when the
// device is no terminal, nullopt when the list cannot be read.
std::optional<std::string> TtyDriverType(dev_t rdev) {
  std::ifstream in("/proc/tty/drivers");
  if (!in) return std::nullopt;
  const unsigned maj = major(rdev), min = minor(rdev);
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string driver, node, majors, minors, type;
    if (!(fields >> driver >> node >> majors >> minors >> type)) continue;
    auto within = [](const std::string& range, unsigned v) {
      unsigned lo = 0, hi = 0;
      char dash = 0;
      std::istringstream r(range);
      if (!(r >> lo)) return false;
      hi = lo;
      if (r >> dash && dash == '-' && !(r >> hi)) return false;
      return v >= lo && v <= hi;
    };
    if (within(majors, maj) && within(minors, min)) return type;
  }
  return std::string();
}

// The device number of this process's controlling terminal, 0 for none.
dev_t ControllingTerminal() {
  std::ifstream in("/proc/self/stat");
  std::string stat;
  std::getline(in, stat);
  // Field 7 (tty_nr) counts from after the command name in parentheses.
  size_t close = stat.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(stat.substr(close + 1));
  std::string state;
  long ppid = 0, pgrp = 0, session = 0, ttyNr = 0;
  if (!(fields >> state >> ppid >> pgrp >> session >> ttyNr)) return 0;
  return static_cast<dev_t>(ttyNr);
}

}  // namespace

std::string SerialDeviceRefusal(const std::string& device) {
  struct stat st {};
  if (stat(device.c_str(), &st) != 0) return "device " + device + ": " + std::strerror(errno);
  if (!S_ISCHR(st.st_mode)) return "device " + device + " is not a character device";
  // The user's own terminal is no logger: opened as one it would be left raw.
  dev_t own = ControllingTerminal();
  if (own != 0 && st.st_rdev == own)
    return "device " + device + " is the controlling terminal of this program";
  for (int fd = 0; fd <= 2; ++fd) {
    struct stat s {};
    if (isatty(fd) && fstat(fd, &s) == 0 && S_ISCHR(s.st_mode) && s.st_rdev == st.st_rdev)
      return "device " + device + " is the terminal of this program";
  }
  auto type = TtyDriverType(st.st_rdev);
  if (!type) {
    // No driver list: at least the controlling-terminal alias, the console
    // and the virtual consoles are known not to be serial ports.
    if (major(st.st_rdev) == 5 || (major(st.st_rdev) == 4 && minor(st.st_rdev) < 64))
      return "device " + device + " is not a serial port";
    return {};
  }
  if (*type == "serial" || *type == "pty:slave") return {};
  if (type->empty()) return "device " + device + " is not a terminal";
  return "device " + device + " is not a serial port (" + *type + ")";
}

std::vector<SerialDeviceInfo> ReadRegisteredPorts(const std::string& runtimeDir) {
  std::vector<SerialDeviceInfo> out;
  std::string dir = runtimeDir + "/ports";
  DIR* d = opendir(dir.c_str());
  if (!d) return out;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name.rfind("COM", 0) != 0 || name.size() < 4 ||
        name.find_first_not_of("0123456789", 3) != std::string::npos)
      continue;
    // Only numbers a port can be opened by: 0 would make the port chooser
    // ask, and larger ones do not fit the port number.
    long number = 0;
    for (size_t k = 3; k < name.size() && number <= 65535; ++k)
      number = number * 10 + (name[k] - '0');
    if (number < 1 || number > 65535) {
      Refuse(name, "the port number is outside 1..65535");
      continue;
    }
    auto text = ReadRegistration(dir + "/" + name, name);
    if (!text) continue;
    SerialDeviceInfo info;
    info.portName = name;
    info.registered = true;
    long pid = 0;
    std::istringstream in(*text);
    for (std::string line; std::getline(in, line);) {
      auto eq = line.find('=');
      if (eq == std::string::npos) continue;
      std::string k = line.substr(0, eq), v = line.substr(eq + 1);
      if (k == "device") info.device = v;
      if (k == "usb") info.identity = v;
      if (k == "pid") pid = std::atol(v.c_str());
    }
    struct stat st {};
    if (info.device.empty() || stat(info.device.c_str(), &st) != 0) continue;  // stale
    if (pid != 0 && !ProcessAlive(pid)) continue;                              // stale
    if (std::string why = SerialDeviceRefusal(info.device); !why.empty()) {
      Refuse(name, why);
      continue;
    }
    out.push_back(info);
  }
  closedir(d);
  std::sort(out.begin(), out.end(), [](auto& a, auto& b) {
    return std::atoi(a.portName.c_str() + 3) < std::atoi(b.portName.c_str() + 3);
  });
  return out;
}

}  // namespace dorv::platform
