#pragma once
// A pseudo-terminal registered as a COM port, and the user-interface thread's
// application, for tests of the serial port over real devices and threads.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "platform/port_namespace.h"

namespace dorv::serial::testing {

// The peer's side of a pseudo-terminal whose other side is port n.
class PtyPeer {
 public:
  explicit PtyPeer(int portNumber) : number_(portNumber) {
    int slave = -1;
    char name[128];
    if (openpty(&master_, &slave, name, nullptr, nullptr) != 0) return;
    path_ = name;
    termios t{};
    tcgetattr(slave, &t);
    cfmakeraw(&t);
    tcsetattr(slave, TCSANOW, &t);
    // The slave stays open here too, so that the pty is not hung up while
    // the port is closed.
    slave_ = slave;
    platform::PortNamespace::Register(number_, path_);
  }
  ~PtyPeer() {
    platform::PortNamespace::Unregister(number_);
    CloseMaster();
    if (slave_ >= 0) ::close(slave_);
  }
  PtyPeer(const PtyPeer&) = delete;
  PtyPeer& operator=(const PtyPeer&) = delete;

  bool Ok() const { return master_ >= 0; }
  const std::string& Path() const { return path_; }
  int Number() const { return number_; }

  void Write(const std::string& s) const {
    std::size_t done = 0;
    while (done < s.size()) {
      ssize_t r = ::write(master_, s.data() + done, s.size() - done);
      if (r > 0) {
        done += static_cast<std::size_t>(r);
      } else {
        pollfd p{master_, POLLOUT, 0};
        poll(&p, 1, 100);
      }
    }
  }

  // Reads until n bytes have come or timeoutMs has passed.
  std::string Read(std::size_t n, int timeoutMs = 5000) const {
    std::string out;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < n && std::chrono::steady_clock::now() < end) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      char buf[4096];
      ssize_t r = ::read(master_, buf, std::min(sizeof buf, n - out.size()));
      if (r > 0) out.append(buf, static_cast<std::size_t>(r));
    }
    return out;
  }

  // The peer goes away (a USB converter unplugged).
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }
  void CloseSlave() {
    if (slave_ >= 0) ::close(slave_);
    slave_ = -1;
  }

 private:
  int number_;
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

// CPU time of the process (user + system), in milliseconds.
inline double ProcessCpuMs() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
         (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

}  // namespace dorv::serial::testing
