// Figures of the serial port over a pseudo-terminal, beside plain system
// calls on the same kind of pty:
//   1. receive throughput through the port and its availability handler,
//      reading byte by byte as the reply handler does, against a read loop;
//   2. turnaround: the peer writes one byte and the handler answers one at
//      once; median round trip, against a poll/read/write echo;
//   3. CPU time and wake-ups of an open, idle port over 10 s (wake-ups are
//      the voluntary context switches of every thread of this process).
// The last line holds the figures as key=value pairs.
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "platform/port_namespace.h"
#include "serial/serial_port.h"
#include "ui/application.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using dorv::serial::TCustomSerialPort;
using dorv::serial::TSerialPort;

constexpr int kPortNumber = 42;
constexpr std::size_t kStreamBytes = 8u << 20;
constexpr int kRoundTrips = 2000;

struct Pty {
  int master = -1, slave = -1;
  std::string path;
  Pty() {
    char name[128];
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
      std::perror("openpty");
      std::exit(1);
    }
    path = name;
    for (int fd : {master, slave}) {
      termios t{};
      tcgetattr(fd, &t);
      cfmakeraw(&t);
      tcsetattr(fd, TCSANOW, &t);
    }
  }
  ~Pty() {
    ::close(master);
    ::close(slave);
  }
};

void WriteAll(int fd, const char* p, std::size_t n) {
  while (n > 0) {
    ssize_t r = ::write(fd, p, n);
    if (r > 0) {
      p += r;
      n -= static_cast<std::size_t>(r);
    } else if (r < 0 && errno != EINTR && errno != EAGAIN) {
      std::perror("write");
      std::exit(1);
    }
  }
}

bool ReadOne(int fd, char& c, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, timeoutMs) <= 0) return false;
  return ::read(fd, &c, 1) == 1;
}

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Voluntary context switches of all threads of this process: each one is a
// thread going to sleep, so over an idle stretch it counts the wake-ups.
long long VoluntarySwitches() {
  long long total = 0;
  std::error_code ec;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ec)) {
    std::ifstream status(task.path() / "status");
    std::string line;
    while (std::getline(status, line))
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
        total += std::stoll(line.substr(line.find(':') + 1));
  }
  return total;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

void OpenPort(TSerialPort& port) {
  port.LoadDesign(nlohmann::json{
      {"ComNumber", kPortNumber}, {"Baud", 115200}, {"OutSize", 512}, {"RTS", false}});
  port.SetOpen(true);
}

double PlainThroughput(const std::string& data) {
  Pty pty;
  std::size_t got = 0;
  auto start = Clock::now();
  std::thread reader([&] {
    std::vector<char> buf(65536);
    while (got < data.size()) {
      ssize_t r = ::read(pty.slave, buf.data(), buf.size());
      if (r > 0) got += static_cast<std::size_t>(r);
    }
  });
  WriteAll(pty.master, data.data(), data.size());
  reader.join();
  double s = std::chrono::duration<double>(Clock::now() - start).count();
  return static_cast<double>(data.size()) / s / 1e6;
}

double PortThroughput(dorv::ui::TApplication& app, const std::string& data) {
  Pty pty;
  dorv::platform::PortNamespace::Register(kPortNumber, pty.path);
  TSerialPort port;
  std::size_t got = 0;
  unsigned long sum = 0;
  port.SetOnTriggerAvail([&](TCustomSerialPort* p, uint16_t) {
    while (p->CharReady()) {
      sum += static_cast<unsigned char>(p->GetChar());
      ++got;
    }
  });
  OpenPort(port);
  auto start = Clock::now();
  std::thread writer([&] { WriteAll(pty.master, data.data(), data.size()); });
  while (got < data.size()) app.Loop().RunUntil([&] { return got >= data.size(); }, 5ms);
  double s = std::chrono::duration<double>(Clock::now() - start).count();
  writer.join();
  port.SetOpen(false);
  if (sum == 0) std::puts("(no data)");
  return static_cast<double>(data.size()) / s / 1e6;
}

double PlainTurnaround() {
  Pty pty;
  std::atomic<bool> stop{false};
  std::thread echo([&] {
    char c;
    while (!stop) {
      pollfd p{pty.slave, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      if (::read(pty.slave, &c, 1) == 1) WriteAll(pty.slave, &c, 1);
    }
  });
  std::vector<double> us;
  for (int i = 0; i < kRoundTrips; ++i) {
    char c = static_cast<char>('a' + i % 26), r = 0;
    auto t0 = Clock::now();
    WriteAll(pty.master, &c, 1);
    if (!ReadOne(pty.master, r, 1000)) break;
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
  }
  stop = true;
  echo.join();
  return Median(us);
}

double PortTurnaround(dorv::ui::TApplication& app) {
  Pty pty;
  dorv::platform::PortNamespace::Register(kPortNumber, pty.path);
  TSerialPort port;
  port.SetOnTriggerAvail([](TCustomSerialPort* p, uint16_t) {
    while (p->CharReady()) p->PutChar(p->GetChar());
  });
  OpenPort(port);
  std::atomic<bool> done{false};
  std::vector<double> us;
  std::thread peer([&] {
    for (int i = 0; i < kRoundTrips; ++i) {
      char c = static_cast<char>('a' + i % 26), r = 0;
      auto t0 = Clock::now();
      WriteAll(pty.master, &c, 1);
      if (!ReadOne(pty.master, r, 1000)) break;
      us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    done = true;
  });
  while (!done) app.Loop().RunUntil([&] { return done.load(); }, 5ms);
  peer.join();
  port.SetOpen(false);
  return Median(us);
}

struct Idle {
  double cpuPercent = 0;
  double wakeupsPerSecond = 0;
};

Idle IdleFigures(dorv::ui::TApplication& app) {
  Pty pty;
  dorv::platform::PortNamespace::Register(kPortNumber, pty.path);
  TSerialPort port;
  port.SetOnTriggerAvail([](TCustomSerialPort* p, uint16_t) {
    while (p->CharReady()) p->GetChar();
  });
  OpenPort(port);
  app.Loop().RunFor(200ms);  // past the start-up of the port's threads
  double cpu0 = CpuSeconds();
  long long switches0 = VoluntarySwitches();
  auto t0 = Clock::now();
  app.Loop().RunFor(10s);
  double wall = std::chrono::duration<double>(Clock::now() - t0).count();
  long long switches = VoluntarySwitches() - switches0;
  double cpu = CpuSeconds() - cpu0;
  port.SetOpen(false);
  return {cpu / wall * 100.0, static_cast<double>(switches) / wall};
}

}  // namespace

int main() {
  dorv::ui::TApplication app;
  std::string data(kStreamBytes, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('0' + i % 64);

  double plainMb = PlainThroughput(data);
  double portMb = PortThroughput(app, data);
  std::printf("receive: port %.2f MB/s, plain read loop %.2f MB/s (%zu bytes)\n", portMb, plainMb,
              data.size());
  std::fflush(stdout);

  double plainUs = PlainTurnaround();
  double portUs = PortTurnaround(app);
  std::printf("turnaround (median of %d): port %.1f us, plain echo %.1f us\n", kRoundTrips, portUs,
              plainUs);
  std::fflush(stdout);

  Idle idle = IdleFigures(app);
  std::printf("idle open port over 10 s: %.3f %% of one core, %.1f wake-ups/s\n", idle.cpuPercent,
              idle.wakeupsPerSecond);
  std::printf(
      "throughput_mb_s=%.2f plain_mb_s=%.2f turnaround_us=%.1f plain_us=%.1f "
      "idle_cpu_percent=%.3f idle_wakeups_per_s=%.1f\n",
      portMb, plainMb, portUs, plainUs, idle.cpuPercent, idle.wakeupsPerSecond);
  return 0;
}
