// The real program in a real X server: dorv-updater finds the simulated
// logger by itself, and a click on a settings control in its window reaches
// the logger.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "common/process.h"
#include "dorv_version.h"
#include "resources/resources.h"

namespace dorv::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const char kConnected[] = "D-ORV KRB Updater 1.00";

// Runs a command to completion and returns its standard output.
std::string Command(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  std::vector<std::string> full = argv;
  if (full[0].find('/') == std::string::npos) full[0] = "/usr/bin/" + full[0];
  return RunProcess(full, "", env, 10000).out;
}

std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> out;
  std::ifstream in(path);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

template <class Pred>
bool WaitFor(Pred pred, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (pred()) return true;
    std::this_thread::sleep_for(200ms);
  }
  return pred();
}

// The window's program as a command: its usage and version without a window,
// and a clear word instead of a crash where there is no display.
TEST(WindowProgram, HelpVersionAndNoDisplay) {
  const std::string updater = BinDir() + "/dorv-updater";
  auto help = RunProcess({updater, "--help"}, "", {});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.out.rfind("usage: dorv-updater ", 0), 0u) << help.out;
  auto version = RunProcess({updater, "--version"}, "", {});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, std::string("dorv-updater ") + DORV_VERSION + "\n");
  auto bad = RunProcess({updater, "--no-such-option"}, "", {});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.err.find("usage: dorv-updater"), std::string::npos) << bad.err;
  // No display: the environment without DISPLAY, WAYLAND_DISPLAY and the Qt
  // platform, through env -i.
  auto headless = RunProcess({"/usr/bin/env", "-i", "HOME=/tmp", updater}, "", {});
  EXPECT_EQ(headless.exitCode, 1);
  EXPECT_NE(headless.err.find("dorv-updater: no display"), std::string::npos) << headless.err;
}

TEST(WindowEndToEnd, FindsTheSimulatedLoggerAndAClickReachesIt) {
  std::string sim = BinDir() + "/dorv-logger-sim";
  ASSERT_TRUE(fs::exists(sim)) << sim << " is not built";

  TempDir dir;
  std::string transcript = dir.path + "/transcript.txt";
  std::vector<std::string> env{"DORV_RUNTIME_DIR=" + dir.path};
  BackgroundProcess logger({sim, "--com", "7", "--transcript", transcript}, env, -1, true);
  ASSERT_EQ(logger.FirstLine(5000).rfind("COM7 ", 0), 0u);

  // A private X server; it writes its display number when it is ready.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  BackgroundProcess xvfb({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                          "1280x1024x24", "-nolisten", "tcp"},
                         {}, fds[1], true);
  close(fds[1]);
  std::string number;
  {
    pollfd p{fds[0], POLLIN, 0};
    char buf[32];
    if (poll(&p, 1, 10000) > 0) {
      ssize_t n = read(fds[0], buf, sizeof buf);
      if (n > 0) number.assign(buf, n);
    }
    close(fds[0]);
  }
  while (!number.empty() && (number.back() == '\n' || number.back() == ' ')) number.pop_back();
  ASSERT_FALSE(number.empty()) << "Xvfb did not start";
  std::string display = "DISPLAY=:" + number;

  BackgroundProcess updater({BinDir() + "/dorv-updater"}, {display, "QT_QPA_PLATFORM=xcb", env[0]},
                            -1, true);

  // The window's title becomes the connected caption once the logger is found.
  std::string window;
  ASSERT_TRUE(WaitFor(
      [&] {
        std::string out = Command(
            {"xdotool", "search", "--name", std::string("^") + kConnected + "$"}, {display});
        window = out.substr(0, out.find('\n'));
        return !window.empty();
      },
      30s))
      << "no window titled " << kConnected;

  // The first exchange (the status requested twice) ends before the settings
  // take clicks.
  ASSERT_TRUE(WaitFor(
      [&] {
        int p = 0;
        for (auto& l : Lines(transcript)) p += l == "p";
        return p >= 2;
      },
      15s));
  std::this_thread::sleep_for(1500ms);

  // Click the threshold-detection check box where the design puts it.
  auto design = nlohmann::json::parse(resources::Get("forms/Form1.json"));
  int x = -1, y = -1;
  for (auto& c : design["controls"])
    if (c["name"] == "CheckBox2") {
      x = c["left"].get<int>() + 7;
      y = c["top"].get<int>() + c["height"].get<int>() / 2;
    }
  ASSERT_GE(x, 0);
  auto sent = [&] {
    for (auto& l : Lines(transcript))
      if (l == "k1" || l == "k0") return true;
    return false;
  };
  for (int attempt = 0; attempt < 3 && !sent(); ++attempt) {
    Command({"xdotool", "mousemove", "--window", window, std::to_string(x), std::to_string(y),
             "click", "1"},
            {display});
    WaitFor(sent, 5s);
  }
  EXPECT_TRUE(sent()) << "the logger received no k1/k0 after a click on CheckBox2";
  EXPECT_TRUE(updater.Running());
}

}  // namespace
}  // namespace dorv::testing
