// Start-up: the single-instance guard and the main window's creation defaults,
// through the real program start-up of the script runner.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <fstream>
#include <thread>

#include "common/process.h"
#include "dorv_version.h"

namespace dorv::testing {
namespace {

ProcessResult Script(const std::string& runtime, const std::string& script,
                     std::vector<std::string> args = {}) {
  std::vector<std::string> argv{BinDir() + "/dorv-script"};
  argv.insert(argv.end(), args.begin(), args.end());
  argv.push_back("-");
  return RunProcess(argv, script, {"DORV_RUNTIME_DIR=" + runtime});
}

// Every program says how it is used and its version, and refuses what it
// does not know with its usage.
TEST(Programs, AnswerHelpAndVersionAndRefuseUnknownArguments) {
  const std::string version = DORV_VERSION;
  // (The window's program is tried with the window's tests.)
  for (std::string program : {"dorv-script", "dorv-logger-sim"}) {
    SCOPED_TRACE(program);
    auto help = RunProcess({BinDir() + "/" + program, "--help"}, "", {});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage: " + program + " ", 0), 0u) << help.out;
    auto v = RunProcess({BinDir() + "/" + program, "--version"}, "", {});
    EXPECT_EQ(v.exitCode, 0);
    EXPECT_EQ(v.out, program + " " + version + "\n");
    auto bad = RunProcess({BinDir() + "/" + program, "--no-such-option"}, "", {});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("usage: " + program), std::string::npos) << bad.err;
  }
}

TEST(Startup, CreationDefaultsFollowTheScreen) {
  TempDir dir;
  struct Case {
    const char* screen;
    const char* left;
    const char* top;
  } cases[] = {{"1024x768", "128", "10"}, {"800x600", "50", "10"}, {"1600x1200", "200", "150"}};
  for (auto& c : cases) {
    auto r = Script(dir.path, "print Form1.Left\nprint Form1.Top\n", {"--screen", c.screen});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, std::string("Form1.Left=") + c.left + "\nForm1.Top=" + c.top + "\n")
        << c.screen;
  }
  auto r = Script(dir.path,
                  "expect Form1.ComboBox1.Items.Count == 99\n"
                  "expect Form1.ComboBox1.Items[0] == 00\n"
                  "expect Form1.ComboBox1.Items[10] == 10\n"
                  "expect Form1.ComboBox1.Items[98] == 98\n"
                  "expect Form1.ComboBox2.Text == 10min\n"
                  "expect Form1.ComboBox2.Items.Count == 15\n"
                  "expect Form1.ComboBox3.Text == R\n"
                  "expect Form1.ComboBox3.Items.Count == 14\n"
                  "expect Form1.ComboBox4.Items[2] == 予約開始\n"
                  "expect Form1.ComboBox5.Items.Count == 5\n"
                  "expect Form1.TickSendPos == -1\n"
                  "expect Form1.IntervalCodes == ABCDEJOT^abcdef\n"
                  "expect Form1.ThresholdDivisor == 10\n"
                  "expect Form1.Edit3.Text == No Port\n"
                  "expect Form1.UpDown1.Max == 100\n"
                  "expect Form1.Timer1.Interval == 2000\n"
                  "expect Form1.ProgressBar1.Visible == false\n"
                  "expect Form1.Button22.Visible == false\n"
                  "expect Form1.Button45.Visible == false\n"
                  "expect Form1.TrackBar1.Position == 20\n"
                  "expect Form1.Image5.Visible == false\n"
                  "expect Form1.Visible == true\n"
                  "expect Form2.Visible == false\n"
                  "expect Form6.Visible == false\n"
                  "expect Form1.Label6.Caption ~ /\n"
                  "print Form1.Height\nprint Form1.BaseHeight\nprint Form1.Button11.Top\n");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  // Height = Button11.Top + 67, and it is the height kept as BaseHeight.
  int height = 0, base = 0, top = 0;
  ASSERT_EQ(
      std::sscanf(r.out.c_str(), "Form1.Height=%d\nForm1.BaseHeight=%d\nForm1.Button11.Top=%d",
                  &height, &base, &top),
      3)
      << r.out;
  EXPECT_EQ(height, top + 67);
  EXPECT_EQ(base, height);
}

// Waits until a process holds a lock on path, as the system's lock table
// shows it (looking does not take the lock, so it cannot race the holder).
bool WaitUntilLocked(const std::string& path, std::chrono::milliseconds limit) {
  auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
      std::ifstream locks("/proc/locks");
      const std::string inode = ":" + std::to_string(st.st_ino) + " ";
      for (std::string line; std::getline(locks, line);)
        if (line.find("FLOCK") != std::string::npos && line.find(inode) != std::string::npos)
          return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

TEST(Startup, SecondCopyEndsAtOnceWithExitCodeOneAndSaysWhy) {
  TempDir dir;
  // The first copy holds the guard while it waits.
  std::thread first([&] { Script(dir.path, "wait 3000\n"); });
  ASSERT_TRUE(WaitUntilLocked(dir.path + "/orewadorvda", std::chrono::seconds(20)))
      << "the first copy never took the guard";
  auto second = Script(dir.path, "print Form1.Left\n");
  first.join();
  EXPECT_EQ(second.exitCode, 1);
  EXPECT_EQ(second.out, "");
  EXPECT_EQ(second.err, "dorv: another copy of the utility is running (it holds " + dir.path +
                            "/orewadorvda); ends\n");
  // Once the first has ended, a new copy starts normally.
  EXPECT_EQ(Script(dir.path, "print Form1.Left\n").exitCode, 0);
  // The runtime directory is private.
  struct stat st {};
  ASSERT_EQ(stat(dir.path.c_str(), &st), 0);
}

TEST(Startup, RuntimeDirectoryIsCreatedPrivate) {
  TempDir dir;
  std::string runtime = dir.path + "/nested/rt";
  auto r = Script(runtime, "print Form1.Top\n");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  struct stat st {};
  ASSERT_EQ(stat(runtime.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

}  // namespace
}  // namespace dorv::testing
