#pragma once
// The simulated logger the benchmarks run against: started beside the bench
// program, ready once it has printed its first line, stopped with the object.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace dorv::bench {

// Starts args[0] with args; its standard output goes to outFd when given.
// The process id, or -1.
inline pid_t Spawn(const std::vector<std::string>& args, int outFd) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (outFd >= 0) posix_spawn_file_actions_adddup2(&actions, outFd, 1);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

class SimulatedLogger {
 public:
  SimulatedLogger() = default;
  SimulatedLogger(const SimulatedLogger&) = delete;
  SimulatedLogger& operator=(const SimulatedLogger&) = delete;
  ~SimulatedLogger() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }

  // Starts dorv-logger-sim of binDir with the arguments and waits for its
  // ready line; false when it did not start.
  bool Start(const std::string& binDir, std::vector<std::string> args) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    args.insert(args.begin(), binDir + "/dorv-logger-sim");
    pid_ = Spawn(args, fds[1]);
    close(fds[1]);
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') {
    }
    close(fds[0]);
    return pid_ > 0 && c == '\n';
  }

 private:
  pid_t pid_ = -1;
};

}  // namespace dorv::bench
