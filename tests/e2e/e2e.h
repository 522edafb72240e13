#pragma once
// End-to-end fixture: the simulated logger on a pseudo-terminal, the utility
// driven headless by a script, each case in a runtime directory of its own.
#include <gtest/gtest.h>

#include <memory>

#include "common/process.h"

namespace dorv::testing {

class E2E : public ::testing::Test {
 protected:
  TempDir dir;

  std::vector<std::string> Env() const { return {"DORV_RUNTIME_DIR=" + dir.path}; }
  std::string TranscriptPath(int com) const {
    return dir.path + "/transcript-COM" + std::to_string(com);
  }

  // Starts a simulated logger registered as COM<com>; waits until it is ready.
  std::unique_ptr<BackgroundProcess> StartLogger(int com, std::vector<std::string> extra = {}) {
    std::vector<std::string> argv{BinDir() + "/dorv-logger-sim", "--com", std::to_string(com),
                                  "--transcript", TranscriptPath(com)};
    argv.insert(argv.end(), extra.begin(), extra.end());
    auto p = std::make_unique<BackgroundProcess>(argv, Env());
    std::string ready = p->FirstLine();
    EXPECT_EQ(ready.rfind("COM" + std::to_string(com) + " ", 0), 0u) << ready;
    return p;
  }

  ProcessResult Script(const std::string& script, std::vector<std::string> args = {},
                       int timeoutMs = 120000) {
    std::vector<std::string> argv{BinDir() + "/dorv-script"};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back("-");
    return RunProcess(argv, script, Env(), timeoutMs);
  }

  // What the logger received, one command a line; waits a moment for at
  // least `atLeast` lines (the logger notes a command when it takes it up).
  std::vector<std::string> Transcript(int com, size_t atLeast = 0) const {
    auto lines = ReadLines(TranscriptPath(com));
    for (int i = 0; i < 100 && lines.size() < atLeast; ++i) {
      usleep(20000);
      lines = ReadLines(TranscriptPath(com));
    }
    return lines;
  }
};

// Waits for the connected state (the logger answered and its status came).
inline const char* kConnected =
    "until Form1.LoggerReady == 1 10000\n"
    "until Form1.Timer1.Interval == 1000 10000\n";

// The messages a script printed ("message: " lines), in order.
inline std::vector<std::string> Messages(const std::string& out) {
  std::vector<std::string> m;
  size_t p = 0;
  while ((p = out.find("message: ", p)) != std::string::npos) {
    size_t end = out.find('\n', p);
    m.push_back(out.substr(p + 9, end - p - 9));
    p = end;
  }
  return m;
}

}  // namespace dorv::testing
