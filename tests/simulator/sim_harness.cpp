#include "sim_harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

namespace dorv::sim::test {

PrivateRuntimeDir::PrivateRuntimeDir() {
  char tmpl[] = "/tmp/dorv-sim-test-XXXXXX";
  if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
  setenv("DORV_RUNTIME_DIR", path_.c_str(), 1);
}

PrivateRuntimeDir::~PrivateRuntimeDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

Port::Port(const std::string& device) {
  fd_ = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) throw std::runtime_error("cannot open " + device);
}

Port::~Port() {
  if (fd_ >= 0) close(fd_);
}

void Port::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(fd_, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(static_cast<size_t>(n));
    } else {
      pollfd p{fd_, POLLOUT, 0};
      if (poll(&p, 1, 1000) <= 0 || (p.revents & (POLLERR | POLLHUP))) return;
    }
  }
}

std::string Port::ReadUntil(const std::function<bool(const std::string&)>& done, Ms timeout) {
  std::string got;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!dead_ && !done(got)) {
    const auto left = std::chrono::duration_cast<Ms>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char buf[4096];
    ssize_t n = read(fd_, buf, sizeof buf);
    if (n > 0) {
      got.append(buf, static_cast<size_t>(n));
    } else if (n == 0 || errno != EAGAIN) {
      dead_ = true;
    }
  }
  return got;
}

std::string Port::ReadReply(Ms timeout) {
  return ReadUntil([](const std::string& s) { return !s.empty() && s.back() == '#'; }, timeout);
}

std::string Port::Exchange(std::string_view command, Ms timeout) {
  Write(command);
  return ReadReply(timeout);
}

RunningSimulator::RunningSimulator(Options options)
    : sim_(std::make_unique<Simulator>(std::move(options))) {
  sim_->Open();
  thread_ = std::thread([this] { sim_->Run(); });
}

RunningSimulator::~RunningSimulator() {
  Stop();
}

void RunningSimulator::Stop() {
  if (!thread_.joinable()) return;
  sim_->RequestStop();
  thread_.join();
}

ChildSimulator::ChildSimulator(const std::vector<std::string>& args,
                               const std::string& runtime_dir) {
  std::vector<std::string> argv = {SimulatorProgram()};
  argv.insert(argv.end(), args.begin(), args.end());
  process_ = std::make_unique<testing::BackgroundProcess>(
      argv, std::vector<std::string>{"DORV_RUNTIME_DIR=" + runtime_dir});
  // The program announces itself with one line once it is ready.
  first_line_ = process_->FirstLine(10000);
}

ChildSimulator::~ChildSimulator() {
  if (process_->Pid() > 0) process_->Stop(SIGKILL);
}

int ChildSimulator::Stop(int signal_number) {
  return process_->Stop(signal_number);
}

std::vector<std::string> ReplyLines(std::string reply) {
  if (!reply.empty() && reply.back() == '#') reply.pop_back();
  std::vector<std::string> lines;
  std::string cur;
  for (char c : reply) {
    if (c == '\n') {
      lines.push_back(cur);
      cur.clear();
    } else if (c != '\r') {
      cur += c;
    }
  }
  if (!cur.empty()) lines.push_back(cur);
  return lines;
}

std::string SimulatorProgram() {
  return DORV_SIMULATOR_PROGRAM;
}

}  // namespace dorv::sim::test
