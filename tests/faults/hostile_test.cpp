// Hostile local conditions: a runtime directory another user prepared, port
// registrations that are not registrations, special files given as data,
// saves over links, a peer that floods. Each case ends in a clear refusal or
// the sound result, and nothing hangs (every run has a time limit).
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>

#include <cstring>
#include <fstream>
#include <functional>

#include "faults/faults.h"
#include "platform/comm_device.h"

namespace dorv::testing {
namespace {

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

// A user id no account has: files and directories of "another user".
uid_t OtherUser() {
  for (uid_t u = 64123;; ++u)
    if (!getpwuid(u)) return u;
}

// Runs fn in a forked child that has become the other user (as another local
// user acts on a shared machine); the reason when it cannot, else empty.
std::string AsOtherUser(const std::function<void()>& fn) {
  if (geteuid() != 0)
    return "acting as a second user needs root (setuid in a forked child); run as root";
  uid_t other = OtherUser();
  pid_t pid = fork();
  if (pid == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(other) != 0 || setuid(other) != 0) _exit(2);
    umask(0);
    fn();
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "the second user's child failed";
  return {};
}

// The single hostile cases: the fault fixture under a name of their own.
class Hostile : public Faults {};

// ---- The runtime directory ----

struct RuntimeCase {
  const char* name;
  const char* why;  // in the message
  // Prepares the directory at path; empty, or the reason it cannot.
  std::string (*make)(const std::string& path);
};

void PrintTo(const RuntimeCase& c, std::ostream* os) {
  *os << c.name;
}

class HostileRuntimeDir : public Faults, public ::testing::WithParamInterface<RuntimeCase> {};

const RuntimeCase kRuntimeCases[] = {
    {"OpenToOthers", "lets others in",
     [](const std::string& path) {
       mkdir(path.c_str(), 0700);
       chmod(path.c_str(), 0777);
       return std::string();
     }},
    {"GroupMayRead", "lets others in",
     [](const std::string& path) {
       mkdir(path.c_str(), 0750);
       return std::string();
     }},
    {"MadeFirstByAnotherUser", "owned by user",
     [](const std::string& path) { return AsOtherUser([&] { mkdir(path.c_str(), 0700); }); }},
    {"AnotherUsersLinkToItsFolder", "symbolic link",
     [](const std::string& path) {
       return AsOtherUser([&] {
         mkdir((path + ".theirs").c_str(), 0777);
         symlink((path + ".theirs").c_str(), path.c_str());
       });
     }},
    {"LinkToOwnPrivateFolder", "symbolic link",
     [](const std::string& path) {
       mkdir((path + ".theirs").c_str(), 0700);
       symlink((path + ".theirs").c_str(), path.c_str());
       return std::string();
     }},
};

TEST_P(HostileRuntimeDir, TheUtilityAndTheLoggerRefuseItAndSayWhy) {
  const RuntimeCase& c = GetParam();
  // In /tmp, where another user can create it first.
  const std::string runtime = "/tmp/dorv-hostile-" + std::to_string(getpid());
  std::string cannot = c.make(runtime);
  struct Cleanup {
    std::string path;
    ~Cleanup() {
      std::error_code ec;
      std::filesystem::remove_all(path, ec);
      std::filesystem::remove_all(path + ".theirs", ec);
    }
  } cleanup{runtime};
  ASSERT_EQ(cannot, "");
  std::vector<std::string> env{"DORV_RUNTIME_DIR=" + runtime};

  auto utility = RunProcess({BinDir() + "/dorv-script", "-"}, "wait 100\n", env, 20000);
  EXPECT_EQ(utility.exitCode, 1);
  EXPECT_EQ(utility.err.rfind("dorv: cannot use " + runtime + ": ", 0), 0u) << utility.err;
  EXPECT_NE(utility.err.find(c.why), std::string::npos) << utility.err;

  auto sim = RunProcess({BinDir() + "/dorv-logger-sim", "--com", "7"}, "", env, 20000);
  EXPECT_EQ(sim.exitCode, 1);
  EXPECT_NE(sim.err.find("cannot use " + runtime + ": "), std::string::npos) << sim.err;
  EXPECT_EQ(sim.out, "");
  // Nothing was put into the refused directory.
  EXPECT_FALSE(std::filesystem::exists(runtime + "/orewadorvda"));
  EXPECT_FALSE(std::filesystem::exists(runtime + "/ports"));
}

INSTANTIATE_TEST_SUITE_P(Hostile, HostileRuntimeDir, ::testing::ValuesIn(kRuntimeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Port registrations ----

struct RegistrationCase {
  const char* name;
  const char* file;  // below ports/
  const char* why;   // in the message
  // Puts the hostile registration at path; device is the live logger's
  // device and registration a valid text naming it as a logger.
  std::string (*make)(const std::string& path, const std::string& device,
                      const std::string& registration);
};

void PrintTo(const RegistrationCase& c, std::ostream* os) {
  *os << c.name;
}

class HostileRegistration : public Faults,
                            public ::testing::WithParamInterface<RegistrationCase> {};

std::string Registration(const std::string& device) {
  return "device=" + device + "\nusb=VID_0403+PID_6001+DORV0001A\npid=" + std::to_string(getpid()) +
         "\n";
}

const RegistrationCase kRegistrationCases[] = {
    {"Fifo", "COM5", "not a regular file",
     [](const std::string& path, const std::string&, const std::string&) {
       return mkfifo(path.c_str(), 0600) == 0 ? std::string() : "mkfifo failed";
     }},
    {"LinkToDevZero", "COM5", "it is a symbolic link",
     [](const std::string& path, const std::string&, const std::string&) {
       return symlink("/dev/zero", path.c_str()) == 0 ? std::string() : "symlink failed";
     }},
    {"HugeFile", "COM5", "larger than 4096 bytes",
     [](const std::string& path, const std::string&, const std::string& reg) {
       WriteFile(path, reg + std::string(8 << 20, 'x'));
       return std::string();
     }},
    {"OwnedByAnotherUser", "COM5", "owned by user",
     [](const std::string& path, const std::string&, const std::string& reg) {
       if (geteuid() != 0) return std::string("a file of a second user needs root; run as root");
       WriteFile(path, reg);
       return lchown(path.c_str(), OtherUser(), OtherUser()) == 0 ? std::string() : "lchown failed";
     }},
    {"NumberZero", "COM0", "the port number is outside 1..65535",
     [](const std::string& path, const std::string&, const std::string& reg) {
       WriteFile(path, reg);
       return std::string();
     }},
    {"NumberTooLarge", "COM99999", "the port number is outside 1..65535",
     [](const std::string& path, const std::string&, const std::string& reg) {
       WriteFile(path, reg);
       return std::string();
     }},
    {"TheControllingTerminal", "COM5", "device /dev/tty is not a serial port",
     [](const std::string& path, const std::string&, const std::string&) {
       WriteFile(path, Registration("/dev/tty"));
       return std::string();
     }},
    {"NotATerminal", "COM5", "device /dev/null is not a terminal",
     [](const std::string& path, const std::string&, const std::string&) {
       WriteFile(path, Registration("/dev/null"));
       return std::string();
     }},
};

TEST_P(HostileRegistration, IsIgnoredWithOneMessageAndTheLoggerIsUsed) {
  const RegistrationCase& c = GetParam();
  auto logger = StartLogger(7);
  std::string device;
  for (auto& l : ReadLines(dir.path + "/ports/COM7"))
    if (l.rfind("device=", 0) == 0) device = l.substr(7);
  // Were it taken, the hostile registration (a lower number, the logger's
  // identity) would be the port found.
  ASSERT_EQ(c.make(dir.path + "/ports/" + c.file, device, Registration(device)), "");
  auto r = Script(std::string(kConnected) +
                      "wait 2500\n"  // more ticks: still one message
                      "expect Form1.Edit3.Text == COM7\n"
                      "print Form1.ListBox2.Items.Count\n"
                      "messages\n",
                  {}, 30000);
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(Printed(r.out, "Form1.ListBox2.Items.Count"), "1") << r.out;
  EXPECT_EQ(Messages(r.out), std::vector<std::string>{}) << r.out;  // no chooser, no box
  const std::string said =
      std::string("dorv: ignoring the port registration ports/") + c.file + ": ";
  EXPECT_EQ(Count(r.err, said), 1u) << r.err;
  EXPECT_NE(r.err.find(said + c.why), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(Hostile, HostileRegistration, ::testing::ValuesIn(kRegistrationCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Hostile, TheSimulatedLoggerReplacesAFifoInPlaceOfItsRegistration) {
  std::filesystem::create_directory(dir.path + "/ports");
  ASSERT_EQ(mkfifo((dir.path + "/ports/COM7").c_str(), 0600), 0);
  auto logger = StartLogger(7);  // ready at once rather than waiting on the FIFO
  EXPECT_TRUE(std::filesystem::is_regular_file(dir.path + "/ports/COM7"));
  auto r = Script(std::string(kConnected) + "expect Form1.Edit3.Text == COM7\n", {}, 30000);
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
}

// ---- Special files given as a document, and saves ----

// Connected, with the file button shown (it shows once monitoring has been
// on and off).
const std::string kFileButton = kSettled +
                                "click Form1.Button10\nclick Form1.Button10\n"
                                "until Form1.SerialPort1Open == 0 5000\nwait 1500\n";

TEST_F(Hostile, LoadingAFifoADeviceOrADirectoryIsRefusedWithoutWaiting) {
  auto logger = StartLogger(7);
  const std::string fifo = dir.path + "/pipe.csv";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    std::string path, message;
  } cases[] = {
      {fifo, "読み込めません: " + fifo + ": not a regular file (a FIFO)"},
      {"/dev/zero", "読み込めません: /dev/zero: not a regular file (a character device)"},
      {dir.path, "読み込めません: " + dir.path + ": Is a directory"},
  };
  // A document first: a refused load leaves it as it was.
  const std::string good = dir.path + "/good.csv";
  WriteFile(good, "Start Year=2015\r\nheader\r\nline\r\n");
  std::string script = kFileButton + "answer " + good + "\nclick Form1.Button11\n";
  std::vector<std::string> expected;
  for (auto& c : cases) {
    script += "answer " + c.path + "\nclick Form1.Button11\nexpect Form1.Memo1.Lines.Count == 3\n";
    expected.push_back(c.message);
  }
  auto r = Script(script + "messages\n", {}, 30000);
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(Messages(r.out), expected) << r.out;
}

TEST_F(Hostile, ASaveWritesThroughALinkKeepingModeAndOwnerAndRemovesStaleTemporaries) {
  ASSERT_EQ(geteuid(), 0u) << "a target of a second user needs root; run as root";
  const std::string place = dir.path + "/place";
  std::filesystem::create_directory(place);
  const std::string target = place + "/real.csv", link = place + "/link.csv";
  WriteFile(target, "the old document\r\n");
  ASSERT_EQ(chmod(target.c_str(), 0640), 0);
  ASSERT_EQ(chown(target.c_str(), OtherUser(), OtherUser()), 0);
  ASSERT_EQ(symlink("real.csv", link.c_str()), 0);
  // What saves killed mid-way left: a process that has ended (a child
  // reaped here), and one that still runs (this test) whose file stays.
  pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  const std::string stale = target + ".saving-" + std::to_string(gone) + "-a1B2c3";
  const std::string live = target + ".saving-" + std::to_string(getpid()) + "-a1B2c3";
  WriteFile(stale, std::string(100000, 'x'));
  WriteFile(live, "x");

  auto logger = StartLogger(7, {"--records", "300"});
  auto r = Script(kSettled +
                      "click Form1.Button30\n"
                      "until Form1.Downloading == 0 20000\n"
                      "answer " +
                      link +
                      "\n"
                      "click Form1.Button6\n"
                      "messages\n",
                  {}, 60000);
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "");
  struct stat st {};
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(st.st_uid, OtherUser());
  EXPECT_EQ(st.st_gid, static_cast<gid_t>(OtherUser()));
  EXPECT_EQ(ReadLines(target).size(), 302u);
  EXPECT_FALSE(std::filesystem::exists(stale));
  EXPECT_TRUE(std::filesystem::exists(live));
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(place))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names,
            (std::vector<std::string>{"link.csv", "real.csv",
                                      "real.csv.saving-" + std::to_string(getpid()) + "-a1B2c3"}));
}

TEST_F(Hostile, ASaveKilledMidWayLeavesTheOldFileAndNothingElse) {
  const std::string place = dir.path + "/place";
  std::filesystem::create_directory(place);
  const std::string old = place + "/data.csv";
  const std::string before = "Start Year=2014\r\nthe old document\r\n";
  WriteFile(old, before);
  auto logger = StartLogger(7, {"--records", "1000"});
  // The file size limit kills the utility (SIGXFSZ) in the middle of writing.
  auto r = RunProcess({"/bin/sh", "-c", "ulimit -f 8; exec \"$0\" -", BinDir() + "/dorv-script"},
                      kSettled +
                          "click Form1.Button30\n"
                          "until Form1.Downloading == 0 20000\n"
                          "answer " +
                          old + "\nclick Form1.Button6\n",
                      Env(), 60000);
  EXPECT_EQ(r.exitCode, 128 + SIGXFSZ) << r.out << r.err;
  EXPECT_EQ(FileBytes(old), before);
  std::vector<std::string> names;
  for (auto& e : std::filesystem::directory_iterator(place))
    names.push_back(e.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"data.csv"});
  // The next save succeeds and leaves nothing beside the file either.
  auto again = Script(kSettled +
                          "click Form1.Button30\n"
                          "until Form1.Downloading == 0 20000\n"
                          "answer " +
                          old + "\nclick Form1.Button6\nmessages\n",
                      {}, 60000);
  EXPECT_EQ(again.exitCode, 0) << again.out << again.err;
  EXPECT_EQ(ReadLines(old).size(), 1002u);
  names.clear();
  for (auto& e : std::filesystem::directory_iterator(place))
    names.push_back(e.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"data.csv"});
}

// ---- A port's terminal settings ----

TEST(HostilePort, ClosingAPortRestoresTheTerminalSettingsItFound) {
  // A terminal as its user has it: cooked, echoing, 9600 baud.
  int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string slave = ptsname(master);
  int held = open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  termios before{};
  ASSERT_EQ(tcgetattr(held, &before), 0);
  before.c_lflag |= ICANON | ECHO | ISIG;
  before.c_oflag |= OPOST;
  cfsetispeed(&before, B9600);
  cfsetospeed(&before, B9600);
  ASSERT_EQ(tcsetattr(held, TCSANOW, &before), 0);
  ASSERT_EQ(tcgetattr(held, &before), 0);

  int error = 0;
  auto port = platform::CommDevice::Open(slave, error);
  ASSERT_TRUE(port) << error;
  platform::TDcb dcb;  // the logger's 115200 baud, raw
  ASSERT_EQ(port->SetState(dcb), 0);
  termios during{};
  ASSERT_EQ(tcgetattr(held, &during), 0);
  EXPECT_EQ(during.c_lflag & ICANON, 0u);  // it was changed while open
  port->Close();

  termios after{};
  ASSERT_EQ(tcgetattr(held, &after), 0);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_oflag, before.c_oflag);
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(cfgetospeed(&after), static_cast<speed_t>(B9600));
  EXPECT_EQ(0, std::memcmp(after.c_cc, before.c_cc, sizeof after.c_cc));
  close(held);
  close(master);
}

// ---- A peer that floods ----

TEST_F(Hostile, BytesAfterADownloadsClosingPromptAreNotTakenIn) {
  auto logger = StartLogger(7, {"--records", "300", "--fault", "trail=200000"});
  const std::string csv = dir.path + "/data.csv";
  auto r = Script(kSettled +
                      "click Form1.Button30\n"
                      "until Form1.Downloading == 0 20000\n"
                      "until Form1.SerialPort1Open == 0 5000\n"
                      "wait 2500\n"  // ticks pass, the junk has all arrived
                      "expect Form1.Memo1.Lines.Count == 302\n"
                      "expect Form1.SerialPort1Open == 0\n"
                      "answer " +
                      csv +
                      "\n"
                      "click Form1.Button6\n"
                      "messages\n",
                  {}, 60000);
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "");
  const std::string saved = FileBytes(csv);
  EXPECT_EQ(saved.find("JUNK"), std::string::npos);
  EXPECT_EQ(ReadLines(csv).size(), 302u);
}

TEST_F(Hostile, AFloodInPlaceOfADownloadEndsItWithAMessage) {
  auto logger = StartLogger(7, {"--fault", "flood=3000000"});
  auto r = Script(kSettled +
                      "click Form1.Button30\n"
                      "until Form1.Downloading == 0 20000\n"
                      "until Form1.SerialPort1Open == 0 5000\n"
                      "until Form1.Timer1.Interval == 1000 5000\n"
                      "expect Form1.Memo1.Lines.Count == 2\n"
                      "expect Form1.Memo1.Visible == true\n"
                      "messages\n",
                  {}, 60000);
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(Messages(r.out),
            std::vector<std::string>{
                "受信データ不正: ロガーの応答ではないためダウンロードを中止しました"})
      << r.out;
}

// ---- Odd documents given to the graph button ----

TEST_F(Hostile, TheGraphButtonSaysWhatIsWrongWithAnOddDocument) {
  auto logger = StartLogger(7);
  const std::string empty = dir.path + "/empty.csv", binary = dir.path + "/binary.csv",
                    nul = dir.path + "/nul.csv";
  WriteFile(empty, "");
  std::string bytes;
  for (int k = 0; k < 4096; ++k) bytes += static_cast<char>((k * 151 + 7) % 256);
  WriteFile(binary, bytes);
  // A NUL in the middle of a time, among good lines.
  std::string doc = "Start Year=2015 @1G=10\r\ndate time,x(G),y(G),z(G),temperature(C)\r\n";
  for (int k = 10; k < 40; ++k)
    doc += "2015/01/02 03:04:" + std::to_string(k) + ".000,  4,  2,  3, 25.0\r\n";
  doc += std::string("2015/01/02 03:04:4\0.000,  4,  2,  3, 25.0\r\n", 42);  // in the seconds
  for (int k = 41; k < 60; ++k)
    doc += "2015/01/02 03:04:" + std::to_string(k) + ".000,  4,  2,  3, 25.0\r\n";
  WriteFile(nul, doc);
  std::string script = kFileButton;
  for (auto* f : {&empty, &binary, &nul})
    script += "answer " + *f + "\nclick Form1.Button11\nclick Form1.Button12\n";
  auto r = Script(script + "messages\n", {}, 30000);
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  auto m = Messages(r.out);
  ASSERT_EQ(m.size(), 3u) << r.out;
  EXPECT_EQ(m[0], "グラフにできるデータがありません: 文書が空です");
  EXPECT_EQ(m[1], "グラフにできるデータがありません: 1行目が \"Start\" で始まっていません");
  EXPECT_NE(m[2].find("\\x00"), std::string::npos) << m[2];
  EXPECT_NE(m[2].find("' は整数ではありません"), std::string::npos) << m[2];
}

}  // namespace
}  // namespace dorv::testing
