// dorv-bench-cli: how long `dorv download --all` takes for three simulated
// loggers paced at 115200 baud, against the slowest of them read alone.
// Ends with the line
//   cli_all: loggers=3 records=N slowest_alone_s=A all_s=B ratio=R within_10_percent=yes|no
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

pid_t Spawn(const std::vector<std::string>& args, int outFd) {
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

// A simulated logger, stopped with the object.
struct Logger {
  pid_t pid = -1;
  ~Logger() {
    if (pid > 0) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
  }
};

// Starts a simulated logger and waits for its ready line.
bool StartLogger(Logger& l, const std::string& binDir, int com, int records) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  l.pid = Spawn({binDir + "/dorv-logger-sim", "--com", std::to_string(com), "--serial",
                 "DORV00" + std::to_string(com), "--records", std::to_string(records), "--seed",
                 std::to_string(com), "--pace-baud", "115200"},
                fds[1]);
  close(fds[1]);
  char c = 0;
  while (read(fds[0], &c, 1) == 1 && c != '\n') {
  }
  close(fds[0]);
  return l.pid > 0 && c == '\n';
}

// Runs dorv with its output discarded; the seconds it took, negative when
// it failed.
double TimedDorv(const std::string& binDir, std::vector<std::string> args) {
  args.insert(args.begin(), binDir + "/dorv");
  int devnull = open("/dev/null", O_WRONLY | O_CLOEXEC);
  auto start = Clock::now();
  pid_t pid = Spawn(args, devnull);
  close(devnull);
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return -1;
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  int records = 3000;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--records") == 0 && i + 1 < argc) {
      records = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: dorv-bench-cli [--records N]\n");
      return 2;
    }
  }
  if (records < 1 || records > 72000) {
    std::fprintf(stderr, "dorv-bench-cli: --records takes 1 to 72000\n");
    return 2;
  }
  std::string binDir = std::filesystem::path(argv[0]).parent_path().string();
  char tmpl[] = "/tmp/dorv-bench-cli-XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  std::string runtime = tmpl;
  setenv("DORV_RUNTIME_DIR", runtime.c_str(), 1);
  int code = 0;
  {
    const int coms[] = {11, 12, 13};
    Logger loggers[3];
    for (int i = 0; i < 3; ++i)
      if (!StartLogger(loggers[i], binDir, coms[i], records)) {
        std::fprintf(stderr, "dorv-bench-cli: the simulated logger COM%d did not start\n", coms[i]);
        return 1;
      }
    // Each logger alone, then all three at once.
    double slowest = 0;
    for (int com : coms) {
      std::string file = runtime + "/alone-COM" + std::to_string(com) + ".csv";
      double s = TimedDorv(binDir, {"download", "--port", "COM" + std::to_string(com), "-o", file});
      if (s < 0) {
        std::fprintf(stderr, "dorv-bench-cli: the download of COM%d failed\n", com);
        return 1;
      }
      std::printf("alone COM%d: %.2f s\n", com, s);
      slowest = std::max(slowest, s);
    }
    std::string dir = runtime + "/all";
    mkdir(dir.c_str(), 0700);
    double all = TimedDorv(binDir, {"download", "--all", "-o", dir});
    if (all < 0) {
      std::fprintf(stderr, "dorv-bench-cli: download --all failed\n");
      code = 1;
    } else {
      double ratio = all / slowest;
      std::printf(
          "cli_all: loggers=3 records=%d slowest_alone_s=%.2f all_s=%.2f ratio=%.3f "
          "within_10_percent=%s\n",
          records, slowest, all, ratio, ratio <= 1.10 ? "yes" : "no");
    }
  }
  std::error_code ec;
  std::filesystem::remove_all(runtime, ec);
  return code;
}
