// Faults around the utility rather than in the logger: its port held by
// another program, a runtime directory it cannot use, and saves that fail.
#include <fcntl.h>
#include <sys/file.h>

#include <fstream>

#include "faults/faults.h"

namespace dorv::testing {
namespace {

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST_F(Faults, PortHeldByAnotherProgramIsSaidOnceAndConnectsWhenReleased) {
  auto logger = StartLogger(7);
  std::string device;
  for (auto& l : ReadLines(dir.path + "/ports/COM7"))
    if (l.rfind("device=", 0) == 0) device = l.substr(7);
  // Held as another program holds a serial port: open, with an exclusive lock.
  int held = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(held, 0) << device;
  ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
  std::thread release([held] {
    std::this_thread::sleep_for(std::chrono::milliseconds(7000));
    close(held);
  });
  // Ticks at 0, 2, 4 and 6 s find the logger and fail to open its port.
  auto r = Script(
      "wait 6500\n"
      "expect Form1.LoggerReady == 0\n"
      "expect Form1.Caption == D-ORV KRB Updater 1.00\n" +
      std::string(kConnected) + "messages\n");
  release.join();
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(Messages(r.out),
            std::vector<std::string>{"ie_Open - device already open: COM7 (" + device +
                                     "). 別のプログラムがこのポートを使っています。"
                                     "そのプログラムを閉じてください"})
      << r.out;
  EXPECT_EQ(Transcript(7, 1).at(0), "m");
}

// ---- A runtime directory that cannot be used ----

struct RuntimeCase {
  const char* name;
  // Prepares the unusable directory below base and returns it; empty when
  // this process cannot make it (no mounts without root).
  std::string (*make)(Faults& t, const std::string& base);
};

void PrintTo(const RuntimeCase& c, std::ostream* os) {
  *os << c.name;
}

class UnusableRuntimeDir : public Faults, public ::testing::WithParamInterface<RuntimeCase> {};

const RuntimeCase kRuntimeCases[] = {
    {"BelowAFile",
     [](Faults&, const std::string& base) {
       WriteFile(base + "/file", "x");
       return base + "/file/dorv";
     }},
    {"ToBeMadeOnAReadOnlyFileSystem",
     [](Faults& t, const std::string& base) {
       if (!t.MountTmpfs(base + "/ro", 64) || !t.RemountReadOnly(base + "/ro"))
         return std::string();
       return base + "/ro/dorv";
     }},
    {"OnAReadOnlyFileSystem",
     [](Faults& t, const std::string& base) {
       if (!t.MountTmpfs(base + "/ro", 64)) return std::string();
       std::filesystem::create_directory(base + "/ro/dorv");
       if (!t.RemountReadOnly(base + "/ro")) return std::string();
       return base + "/ro/dorv";
     }},
};

TEST_P(UnusableRuntimeDir, TheUtilityAndTheLoggerSaySoAndEnd) {
  std::string runtime = GetParam().make(*this, dir.path);
  if (runtime.empty()) GTEST_SKIP() << "needs a file system mounted read-only (root)";
  std::vector<std::string> env{"DORV_RUNTIME_DIR=" + runtime};

  auto utility = RunProcess({BinDir() + "/dorv-script", "-"}, "wait 100\n", env, 20000);
  EXPECT_EQ(utility.exitCode, 1);
  EXPECT_EQ(utility.err.rfind("dorv: cannot ", 0), 0u) << utility.err;
  EXPECT_NE(utility.err.find(runtime), std::string::npos) << utility.err;

  auto sim = RunProcess({BinDir() + "/dorv-logger-sim", "--com", "7"}, "", env, 20000);
  EXPECT_EQ(sim.exitCode, 1);
  EXPECT_EQ(sim.err.rfind("dorv-logger-sim: ", 0), 0u) << sim.err;
  EXPECT_NE(sim.err.find(runtime), std::string::npos) << sim.err;
  EXPECT_EQ(sim.out, "");
}

INSTANTIATE_TEST_SUITE_P(Faults, UnusableRuntimeDir, ::testing::ValuesIn(kRuntimeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- A save that fails ----

struct SaveCase {
  const char* name;
  const char* error;  // what the system says
  // Mounts the place to save to (below base); false when it cannot.
  bool (*mount)(Faults& t, const std::string& place);
  bool (*seal)(Faults& t, const std::string& place);  // after the old file is there
  bool limitFileSize = false;                         // the utility may write only 4 KB
};

void PrintTo(const SaveCase& c, std::ostream* os) {
  *os << c.name;
}

class FailingSave : public Faults, public ::testing::WithParamInterface<SaveCase> {};

bool NoMount(Faults&, const std::string& place) {
  return std::filesystem::create_directories(place);
}
bool Unchanged(Faults&, const std::string&) {
  return true;
}

const SaveCase kSaveCases[] = {
    {"FullFileSystem", "No space left on device",
     [](Faults& t, const std::string& place) { return t.MountTmpfs(place, 16); }, Unchanged},
    {"ReadOnlyFileSystem", "Read-only file system",
     [](Faults& t, const std::string& place) { return t.MountTmpfs(place, 1024); },
     [](Faults& t, const std::string& place) { return t.RemountReadOnly(place); }},
    {"FileSizeLimit", "File too large", NoMount, Unchanged, true},
};

TEST_P(FailingSave, KeepsTheOldFileAndTheDocumentAndSaysWhy) {
  const SaveCase& c = GetParam();
  std::string place = dir.path + "/place";
  if (!c.mount(*this, place)) GTEST_SKIP() << "needs a tmpfs of its own (root)";
  const std::string old = place + "/data.csv";
  const std::string before = "Start Year=2014\r\nthe old document\r\n";
  WriteFile(old, before);
  if (!c.seal(*this, place)) GTEST_SKIP() << "needs a read-only remount (root)";

  auto logger = StartLogger(7, {"--records", "1000"});
  const std::string good = dir.path + "/good.csv";
  std::string script = kSettled +
                       "click Form1.Button30\n"
                       "until Form1.Downloading == 0 20000\n"
                       "answer " +
                       old +
                       "\n"
                       "click Form1.Button6\n"
                       "expect Form1.Memo1.Lines.Count == 1002\n";
  std::vector<std::string> argv{BinDir() + "/dorv-script", "-"};
  if (c.limitFileSize) {
    // The write fails as on a full disk, with EFBIG rather than the signal.
    argv = {"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 8; exec \"$0\" -", BinDir() + "/dorv-script"};
  } else {
    // The document is still whole: saved elsewhere, all of it is there.
    script += "answer " + good + "\nclick Form1.Button6\n";
  }
  auto r = RunProcess(argv, script + "messages\n", Env(), 60000);
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(Messages(r.out), std::vector<std::string>{"保存できません: " + old + ": " + c.error});
  // The old file is whole, and nothing half-written stays beside it.
  EXPECT_EQ(FileBytes(old), before);
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(place)) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
  if (!c.limitFileSize) {
    EXPECT_EQ(ReadLines(good).size(), 1002u);
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, FailingSave, ::testing::ValuesIn(kSaveCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dorv::testing
