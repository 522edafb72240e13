// The command line against simulated loggers: each command's output and
// exit status, downloads compared with the window's own save, and several
// loggers read at once.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "e2e/e2e.h"
#include "platform/instance_lock.h"
#include "platform/registry.h"

namespace dorv::testing {
namespace {

class Cli : public E2E {
 public:
  ProcessResult Dorv(std::vector<std::string> args, int timeoutMs = 120000) {
    args.insert(args.begin(), BinDir() + "/dorv");
    return RunProcess(args, "", Env(), timeoutMs);
  }
  // The window's 取得 then 保存 into path, driven headless.
  void WindowSave(const std::string& path) {
    auto r = Script(std::string(kConnected) + "click Form1.Button30\n" +
                    "until Form1.Downloading == 0 60000\n"
                    "answer " +
                    path + "\nclick Form1.Button6\n");
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  }
};

struct Case {
  std::vector<std::string> args;
  int exitCode;
  std::string out;  // contained in standard output ("" : anything)
  std::string err;  // contained in standard error ("" : anything)
};

void RunTable(Cli& t, const std::vector<Case>& cases) {
  for (auto& c : cases) {
    std::string line;
    for (auto& a : c.args) line += a + " ";
    auto r = t.Dorv(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << line << "\n" << r.out << r.err;
    EXPECT_NE(r.out.find(c.out), std::string::npos) << line << "\n" << r.out;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << line << "\n" << r.err;
  }
}

TEST_F(Cli, UsageAndNoLogger) {
  RunTable(*this, {
                      {{}, 2, "", "usage: dorv list"},
                      {{"--version"}, 0, "dorv 1.", ""},
                      {{"--help"}, 0, "dorv download --all -o DIR", ""},
                      {{"download", "--help"}, 0, "usage: dorv download", ""},
                      {{"info", "--help"}, 0, "usage: dorv info", ""},
                      {{"list", "--help"}, 0, "usage: dorv list", ""},
                      {{"frobnicate"}, 2, "", "unknown command frobnicate"},
                      {{"list", "--port", "COM7"}, 2, "", "unexpected --port"},
                      {{"info", "--port"}, 2, "", "unexpected --port"},
                      {{"info", "--port", ""}, 2, "", "--port needs"},
                      {{"download", "--all"}, 2, "", "needs -o DIR"},
                      {{"download", "--all", "--port", "COM7", "-o", "x"}, 2, "", "exclude"},
                      {{"list"}, 0, "", ""},
                      {{"list", "--json"}, 0, "[]", ""},
                      {{"info"}, 1, "", "no logger found"},
                      {{"download"}, 1, "", "no logger found"},
                      {{"download", "--all", "-o", dir.path}, 1, "", "no logger found"},
                      {{"info", "--port", "COM9"}, 1, "", "no logger or converter on port COM9"},
                  });
}

TEST_F(Cli, ListAndInfo) {
  auto logger = StartLogger(7, {"--records", "300"});
  auto converter = StartLogger(8, {"--identity", "ftdi"});
  auto r = Dorv({"list"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("COM7\t/dev/pts/"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\tDORV0001\tlogger\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("COM8\t/dev/pts/"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\tFTDI0001\tconverter\n"), std::string::npos) << r.out;

  r = Dorv({"list", "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  auto list = nlohmann::json::parse(r.out);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0]["port"], "COM7");
  EXPECT_EQ(list[0]["kind"], "logger");
  EXPECT_EQ(list[0]["serial"], "DORV0001");
  EXPECT_EQ(list[1]["kind"], "converter");

  // The one logger is chosen without --port; the converter is not one.
  r = Dorv({"info"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("port: COM7\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("records: 300\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("year: 2015\n"), std::string::npos) << r.out;

  std::string device = list[0]["device"];
  r = Dorv({"info", "--port", device, "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  auto info = nlohmann::json::parse(r.out);
  EXPECT_EQ(info["port"], "COM7");
  EXPECT_EQ(info["records"], "300");
  for (auto key : {"model", "unit", "interval", "sampling", "threshold", "mode", "reserved_start"})
    EXPECT_TRUE(info.contains(key)) << key;

  // The generic converter when named: the window's FTDI check box is ticked.
  r = Dorv({"info", "--port", "COM8"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("port: COM8\nde"), std::string::npos) << r.out;

  // A second logger: choosing one is the user's.
  auto second = StartLogger(9);
  RunTable(*this, {
                      {{"info"}, 2, "", "more than one logger found"},
                      {{"download", "-o", dir.path + "/x.csv"}, 2, "", "COM9"},
                      {{"download", "--all", "-o", dir.path + "/none"}, 1, "", "not a folder"},
                  });
}

TEST(CliPorts, PortNamesKindsAndSerialNumbers) {
  platform::SerialDeviceInfo sim{"COM7", "/dev/pts/3", "VID_0403+PID_6001+DORV0001A", true};
  struct {
    std::string port;
    bool matches;
  } ports[] = {{"COM7", true},         {"com7", true},   {"COM007", true},     {"COM70", false},
               {"COM", false},         {"COM7x", false}, {"/dev/pts/3", true}, {"7", false},
               {"/dev/pts/30", false}, {"", true}};
  for (auto& c : ports) EXPECT_EQ(platform::SerialDeviceMatches(sim, c.port), c.matches) << c.port;
  EXPECT_EQ(platform::SerialDeviceKind(sim.identity), "logger");
  EXPECT_EQ(platform::SerialDeviceKind("VID_0403+PID_6001+FTDI0001A"), "converter");
  EXPECT_EQ(platform::SerialDeviceKind("VID_0403+PID_6015+DORV0001A"), "other");
  EXPECT_EQ(platform::SerialDeviceKind(""), "other");
  EXPECT_EQ(platform::UsbSerialNumber(sim.identity), "DORV0001");
  EXPECT_EQ(platform::UsbSerialNumber("VID_0403+PID_6001+A"), "");
  EXPECT_EQ(platform::UsbSerialNumber("garbage"), "");
}

// The window's guard does not keep the command line out; a port in use does,
// with a message that says so.
TEST_F(Cli, BesideTheWindowButNotOnItsPort) {
  auto logger = StartLogger(7);
  setenv("DORV_RUNTIME_DIR", dir.path.c_str(), 1);
  platform::InstanceLock window("orewadorvda");
  unsetenv("DORV_RUNTIME_DIR");
  ASSERT_TRUE(window.Acquired());
  auto r = Dorv({"info"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;

  auto list = nlohmann::json::parse(Dorv({"list", "--json"}).out);
  ASSERT_EQ(list.size(), 1u);
  std::string device = list[0]["device"];
  int fd = open(device.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
  r = Dorv({"download", "-o", dir.path + "/x.csv"});
  close(fd);
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.err.find("COM7"), std::string::npos) << r.err;
  EXPECT_EQ(FileBytes(dir.path + "/x.csv"), "");
}

// What the window says while connecting is passed on; the command goes on.
TEST_F(Cli, ConnectWarningGoesToStandardError) {
  auto logger = StartLogger(7, {"--records", "25", "--fault", "negative-count"});
  auto r = Dorv({"info"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.err.find("dorv: COM7: データ数不具合"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("records: -25\n"), std::string::npos) << r.out;
}

TEST_F(Cli, DownloadIsTheWindowsSave) {
  auto logger = StartLogger(7, {"--records", "1500", "--seed", "42"});
  std::string window = dir.path + "/window.csv", cli = dir.path + "/cli.csv";
  WindowSave(window);
  auto r = Dorv({"download", "--port", "com7", "-o", cli});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "COM7\t" + cli + "\t1500 records\n");
  std::string a = FileBytes(window), b = FileBytes(cli);
  EXPECT_GT(a.size(), 1500u * 40);
  EXPECT_TRUE(a == b) << "the files differ";

  // A file that cannot be written is a failure of its own.
  r = Dorv({"download", "-o", dir.path + "/no/such/dir/x.csv"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("no/such/dir/x.csv"), std::string::npos) << r.err;
}

TEST_F(Cli, DownloadAllGoesOnPastAFailedLogger) {
  const std::vector<std::string> seeded{"--records", "2000",        "--seed",
                                        "7",         "--pace-baud", "115200"};
  auto a = StartLogger(11, seeded);
  auto b = StartLogger(12, seeded);
  auto broken = seeded;
  broken.insert(broken.end(), {"--fault", "unplug-after=20000"});
  auto c = StartLogger(13, broken);
  std::string out = dir.path + "/out";
  ASSERT_EQ(mkdir(out.c_str(), 0700), 0);
  auto r = Dorv({"download", "--all", "-o", out});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.err.find("COM13"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("COM13"), std::string::npos) << r.out;
  // The two others are whole, and each is what the window saves.
  std::vector<std::string> files;
  for (auto& e : std::filesystem::directory_iterator(out)) files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  ASSERT_EQ(files.size(), 2u) << r.out << r.err;
  EXPECT_NE(files[0].find("/DORV0001-"), std::string::npos);
  EXPECT_NE(files[0].find("-COM11.csv"), std::string::npos) << files[0];
  EXPECT_NE(files[1].find("-COM12.csv"), std::string::npos) << files[1];
  a.reset();
  c.reset();
  std::string window = dir.path + "/window.csv";
  WindowSave(window);  // COM12, the one left
  EXPECT_TRUE(FileBytes(files[0]) == FileBytes(window));
  EXPECT_TRUE(FileBytes(files[1]) == FileBytes(window));
}

// On a terminal --all draws one line per logger, redrawn in place, and ends
// with each file's line there.
TEST_F(Cli, DownloadAllOnATerminalShowsEachLogger) {
  auto a = StartLogger(11, {"--records", "3000", "--pace-baud", "115200"});
  auto b = StartLogger(12, {"--records", "300"});
  std::string out = dir.path + "/out";
  ASSERT_EQ(mkdir(out.c_str(), 0700), 0);
  // script(1) gives the program a terminal of its own.
  auto r = RunProcess(
      {"/usr/bin/script", "-qec", BinDir() + "/dorv download --all -o " + out, "/dev/null"}, "",
      Env());
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("COM11      "), std::string::npos) << r.out;  // under way
  EXPECT_NE(r.out.find("/3000 records  "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" s left"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\x1b[2A"), std::string::npos) << r.out;  // redrawn in place
  EXPECT_NE(r.out.find("-COM11.csv\t3000 records"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("-COM12.csv\t300 records"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace dorv::testing
