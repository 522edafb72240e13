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

#include "bench_logger.h"

namespace {

using Clock = std::chrono::steady_clock;
using dorv::bench::SimulatedLogger;
using dorv::bench::Spawn;

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
    SimulatedLogger loggers[3];
    for (int i = 0; i < 3; ++i) {
      const std::string com = std::to_string(coms[i]);
      if (!loggers[i].Start(binDir,
                            {"--com", com, "--serial", "DORV00" + com, "--records",
                             std::to_string(records), "--seed", com, "--pace-baud", "115200"})) {
        std::fprintf(stderr, "dorv-bench-cli: the simulated logger COM%d did not start\n", coms[i]);
        return 1;
      }
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
