#pragma once
// Runs the project's programs as child processes in tests.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/file_helpers.h"

namespace dorv::testing {

inline std::string BinDir() {
  return DORV_BIN_DIR;
}

// A fresh private runtime directory, removed with the object.
struct TempDir {
  std::string path;
  TempDir() {
    char tmpl[] = "/tmp/dorv-test-XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

struct ProcessResult {
  int exitCode = -1;  // 128 + signal when killed by one (137 after a time-out)
  std::string out, err;
};

// In a forked child: standard input and output from the given descriptors
// (stderr kept when errFd is -1), the extra environment entries, then
// argv[0] in place of the child (a path, or a name looked up in PATH).
[[noreturn]] inline void ExecChild(const std::vector<std::string>& argv,
                                   const std::vector<std::string>& env, int inFd, int outFd,
                                   int errFd) {
  dup2(inFd, 0);
  dup2(outFd, 1);
  if (errFd >= 0) dup2(errFd, 2);
  for (auto& e : env) putenv(const_cast<char*>(e.c_str()));
  std::vector<char*> args;
  for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  if (argv[0].find('/') == std::string::npos)
    execvp(args[0], args.data());
  else
    execv(args[0], args.data());
  _exit(127);
}

// Runs argv[0] (a path) with the given standard input and extra environment
// entries ("NAME=value"); kills it after timeoutMs.
inline ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input,
                                const std::vector<std::string>& env = {}, int timeoutMs = 60000) {
  int inPipe[2], outPipe[2], errPipe[2];
  if (pipe2(inPipe, O_CLOEXEC) || pipe2(outPipe, O_CLOEXEC) || pipe2(errPipe, O_CLOEXEC)) return {};
  pid_t pid = fork();
  if (pid == 0) ExecChild(argv, env, inPipe[0], outPipe[1], errPipe[1]);
  close(inPipe[0]);
  close(outPipe[1]);
  close(errPipe[1]);
  signal(SIGPIPE, SIG_IGN);
  if (!input.empty()) (void)!write(inPipe[1], input.data(), input.size());
  close(inPipe[1]);
  ProcessResult r;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  bool outOpen = true, errOpen = true;
  while (outOpen || errOpen) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0) {
      // Said where the test shows the program's output: what hung and for how long.
      kill(pid, SIGKILL);
      r.err += "\n[test: " + argv[0] + " still ran after " + std::to_string(timeoutMs) +
               " ms and was killed]\n";
      break;
    }
    pollfd fds[2] = {{outOpen ? outPipe[0] : -1, POLLIN, 0},
                     {errOpen ? errPipe[0] : -1, POLLIN, 0}};
    if (poll(fds, 2, static_cast<int>(left)) <= 0) continue;
    char buf[4096];
    for (int i = 0; i < 2; ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP))) continue;
      ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        (i == 0 ? r.out : r.err).append(buf, n);
      } else {
        (i == 0 ? outOpen : errOpen) = false;
      }
    }
  }
  close(outPipe[0]);
  close(errPipe[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  // A program ended by a signal reads as 128 + the signal, as a shell shows it.
  r.exitCode = WIFEXITED(status)     ? WEXITSTATUS(status)
               : WIFSIGNALED(status) ? 128 + WTERMSIG(status)
                                     : -1;
  return r;
}

}  // namespace dorv::testing

namespace dorv::testing {

// A program running beside the test (the simulated logger, a virtual X
// server, the window program), stopped with SIGTERM when the object goes.
class BackgroundProcess {
 public:
  // keepFd: a descriptor the program inherits (Xvfb's -displayfd); quiet:
  // its standard error goes to /dev/null instead of the test's.
  BackgroundProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                    int keepFd = -1, bool quiet = false) {
    int outPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      if (keepFd >= 0) fcntl(keepFd, F_SETFD, 0);
      int null = open("/dev/null", O_RDWR);
      ExecChild(argv, env, null, outPipe[1], quiet ? null : -1);
    }
    close(outPipe[1]);
    out_ = outPipe[0];
  }
  ~BackgroundProcess() { Stop(); }
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  // The first line the program prints (waits up to timeoutMs).
  std::string FirstLine(int timeoutMs = 10000) {
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out_ >= 0 && line.find('\n') == std::string::npos) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                      deadline - std::chrono::steady_clock::now())
                      .count();
      if (left <= 0) break;
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      char c;
      if (read(out_, &c, 1) != 1) break;
      line += c;
    }
    if (!line.empty() && line.back() == '\n') line.pop_back();
    return line;
  }

  // Ends it at once without letting it clean up (a pulled cable), and reaps it.
  void Kill() {
    if (pid_ > 0) kill(pid_, SIGKILL);
    Stop();
  }

  // Stops it with the signal (SIGKILL when it has not ended after a few
  // seconds) and returns its exit code, or -1 when it did not exit by itself.
  int Stop(int signalNumber = SIGTERM) {
    if (pid_ <= 0) return exitCode_;
    int status = 0;
    if (!exited_) {
      kill(pid_, signalNumber);
      bool gone = false;
      for (int i = 0; i < 300 && !gone; ++i) {
        gone = waitpid(pid_, &status, WNOHANG) == pid_;
        if (!gone) usleep(10000);
      }
      if (!gone) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
      }
      exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    pid_ = -1;
    if (out_ >= 0) close(out_);
    out_ = -1;
    return exitCode_;
  }
  // Whether it still runs (an ended one is reaped).
  bool Running() {
    if (pid_ <= 0 || exited_) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      exited_ = true;
      exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return !exited_;
  }
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  bool exited_ = false;
  int exitCode_ = -1;
};

}  // namespace dorv::testing
