// dorv-logger-sim: a simulated DORV logger on a pseudo-terminal.
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <exception>

#include "dorv_version.h"
#include "simulator/options.h"
#include "simulator/simulator.h"

namespace {

dorv::sim::Simulator* g_simulator = nullptr;

void OnSignal(int) {
  if (g_simulator) g_simulator->RequestStop();
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--help")) {
      std::fputs(dorv::sim::kUsage, stdout);
      return 0;
    }
    if (!std::strcmp(argv[i], "--version")) {
      std::printf("dorv-logger-sim %s\n", DORV_VERSION);
      return 0;
    }
  }
  dorv::sim::Options options;
  std::string error;
  if (!dorv::sim::ParseCommandLine(argc, argv, options, error)) {
    std::fprintf(stderr, "dorv-logger-sim: %s\n%s", error.c_str(), dorv::sim::kUsage);
    return 2;
  }
  const int com = options.com;

  // Hold SIGINT and SIGTERM back until the simulator can take them, so that
  // an early signal still removes the registration.
  sigset_t stop_signals, old_mask;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  sigprocmask(SIG_BLOCK, &stop_signals, &old_mask);
  signal(SIGPIPE, SIG_IGN);

  try {
    dorv::sim::Simulator simulator(std::move(options));
    simulator.Open();
    g_simulator = &simulator;
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigprocmask(SIG_SETMASK, &old_mask, nullptr);

    std::printf("COM%d %s\n", com, simulator.DevicePath().c_str());
    std::fflush(stdout);
    simulator.Run();
    g_simulator = nullptr;
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "dorv-logger-sim: %s\n", e.what());
    return 1;
  }
}
