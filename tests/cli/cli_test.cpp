// The command line against simulated loggers: each command's output and
// exit status, downloads compared with the window's own save, and several
// loggers read at once.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

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
  // The window's 取得 then 保存 into path, driven headless, with a person's
  // pause after connecting (the connection's last status answer is still
  // on the wire when its exchange ends).
  void WindowSave(const std::string& path) {
    auto r = Script(std::string(kConnected) + "wait 500\nclick Form1.Button30\n" +
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

// The commands that change or watch the logger: their help, and the values
// they refuse before any logger is looked for.
TEST_F(Cli, ChangeAndLiveCommandsUsage) {
  RunTable(*this,
           {
               {{"--help"}, 0, "dorv reserve \"yyyy/mm/dd hh:mm\"", ""},
               {{"set", "--help"}, 0, "  interval   record interval: 1sec 5sec", ""},
               {{"set", "--help"}, 0, "  threshold  threshold, in tenths of 1 G: 0 to 98", ""},
               {{"start", "--help"}, 0, "usage: dorv start", ""},
               {{"stop", "--help"}, 0, "usage: dorv stop", ""},
               {{"reserve", "--help"}, 0, "usage: dorv reserve", ""},
               {{"monitor", "--help"}, 0, "usage: dorv monitor", ""},
               {{"burst", "--help"}, 0, "usage: dorv burst SECONDS -o FILE", ""},
               {{"set"}, 2, "", "too few arguments"},
               {{"set", "interval"}, 2, "", "too few arguments"},
               {{"set", "volume", "3"}, 2, "", "no setting volume; settings: interval"},
               {{"set", "interval", "7min"}, 2, "", "interval takes 1sec 5sec"},
               {{"set", "threshold", "99"}, 2, "", "threshold takes 0 to 98, not \"99\""},
               {{"set", "interval", "1min", "now"}, 2, "", "unexpected now"},
               {{"set", "buzzer", "on", "-o", "x"}, 2, "", "unexpected -o"},
               {{"start", "now"}, 2, "", "unexpected now"},
               {{"stop", "--all"}, 2, "", "unexpected --all"},
               {{"reserve"}, 2, "", "too few arguments"},
               {{"reserve", "2020/01/01 10:00"}, 2, "", "not in the future"},
               {{"reserve", "tomorrow"}, 2, "", "yyyy/mm/dd hh:mm"},
               {{"monitor", "--count", "0"}, 2, "", "--count takes a number"},
               {{"monitor", "--count"}, 2, "", "unexpected --count"},
               {{"burst", "4", "-o", "x"}, 2, "", "from 5 to 360, not \"4\""},
               {{"burst", "5"}, 2, "", "burst needs -o FILE"},
               {{"burst", "-o", "x"}, 2, "", "too few arguments"},
               {{"set", "buzzer", "off"}, 1, "", "no logger found"},
               {{"start"}, 1, "", "no logger found"},
               {{"stop", "--port", "COM9"}, 1, "", "no logger or converter on port COM9"},
               {{"monitor", "--count", "1"}, 1, "", "no logger found"},
               {{"burst", "5", "-o", dir.path + "/b.csv"}, 1, "", "no logger found"},
           });
  EXPECT_EQ(FileBytes(dir.path + "/b.csv"), "");
}

// The commands the logger received from one run of the command line: the
// transcript's lines from `from` on.
std::vector<std::string> Since(const std::vector<std::string>& lines, size_t from) {
  return {lines.begin() + static_cast<long>(std::min(from, lines.size())), lines.end()};
}

// The commands from the first one beginning with `first` on, as many as
// `count` (fewer when the transcript ends before).
std::vector<std::string> From(const std::vector<std::string>& sent, const std::string& first,
                              size_t count) {
  auto at = std::find_if(sent.begin(), sent.end(),
                         [&](const std::string& c) { return c.rfind(first, 0) == 0; });
  std::vector<std::string> out;
  for (; at != sent.end() && out.size() < count; ++at) out.push_back(*at);
  return out;
}

// Each setting through the window's own control: the command it sends, a
// status request after it, and the value read back and printed.
TEST_F(Cli, SetChangesEachSettingAndReadsItBack) {
  auto logger = StartLogger(7);
  struct {
    std::vector<std::string> args;
    int exitCode;
    std::string out;      // contained in standard output
    std::string command;  // what the logger gets, followed by "p"; "" none
    std::string err;
  } cases[] = {
      {{"set", "interval", "1min"}, 0, "interval: 1min\n", "jA", ""},
      {{"set", "interval", "30sec"}, 0, "interval: 30sec\n", "jf", ""},
      {{"set", "sampling", "8Hz"}, 0, "sampling: 8Hz\n", "i2", ""},
      {{"set", "threshold", "5"}, 0, "threshold: 05\n", "d05", ""},
      {{"set", "detection", "on"}, 0, "detection: on\n", "k1", ""},
      {{"set", "buzzer", "off"}, 0, "buzzer: off\n", "z1", ""},
      {{"set", "buzzer", "on"}, 0, "buzzer: on\n", "z0", ""},
      {{"set", "buzzer", "on"}, 0, "buzzer: on\n", "", ""},  // already: nothing sent
      {{"set", "model", "20"}, 0, "model: 20\n", "20", ""},
      {{"set", "unit", "7"}, 0, "unit: 07\n", "N07", ""},
      {{"set", "wait", "3"}, 0, "wait: 03\n", "w03", ""},
      {{"set", "hazard", "-3"}, 0, "hazard: -03\n", "Ox-03", ""},
      {{"set", "gravity", "off"}, 0, "gravity: off\n", "Oy00", ""},
      {{"set", "endless", "on"}, 0, "endless: on\n", "Oz01", ""},
      {{"set", "100hz", "on"}, 0, "100hz: on\n", "OX01", ""},
      {{"set", "display", "12"}, 0, "display: 12\n", "OY12", ""},
      {{"set", "df", "-7"}, 0, "df: -07\n", "OZ-07", ""},
      {{"set", "low-temp", "-15"}, 0, "low-temp: -15\n", "L-15", ""},
      // The logger keeps options within its range: what it holds is said.
      {{"set", "hazard", "-500"},
       1,
       "hazard: -99\n",
       "Ox-500",
       "the logger holds hazard -99, not -500"},
  };
  for (auto& c : cases) {
    std::string line;
    for (auto& a : c.args) line += a + " ";
    size_t before = Transcript(7).size();
    auto r = Dorv(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << line << "\n" << r.out << r.err;
    EXPECT_NE(r.out.find(c.out), std::string::npos) << line << "\n" << r.out;
    EXPECT_NE(r.out.find("port: COM7\n"), std::string::npos) << line << "\n" << r.out;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << line << "\n" << r.err;
    // After the connection's own exchange: the change and a status request.
    auto sent = Since(Transcript(7), before);
    auto at = std::find(sent.begin(), sent.end(), c.command);
    if (c.command.empty()) {
      EXPECT_EQ(
          std::count(sent.begin(), sent.end(), "z0") + std::count(sent.begin(), sent.end(), "z1"),
          0)
          << line;
    } else {
      ASSERT_NE(at, sent.end()) << line;
      EXPECT_NE(std::find(at, sent.end(), "p"), sent.end()) << line;
    }
  }
  // What was set stays set: a fresh connection reads it.
  auto r = Dorv({"info", "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  auto info = nlohmann::json::parse(r.out);
  EXPECT_EQ(info["interval"], "30sec");
  EXPECT_EQ(info["threshold"], "05");
  EXPECT_EQ(info["unit"], "07");
  EXPECT_EQ(info["model"], "20");
}

std::string LocalTimeIn(int seconds, const char* format) {
  std::time_t t = std::time(nullptr) + seconds;
  std::tm tm{};
  localtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, format, &tm);
  return text;
}

TEST_F(Cli, StartStopAndReserve) {
  auto logger = StartLogger(7);
  size_t before = Transcript(7).size();
  auto r = Dorv({"start"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("mode: 開始\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("clock: 20"), std::string::npos) << r.out;
  // The PC clock first, then the logger's time; the status read anew.
  auto sent = From(Since(Transcript(7), before), "s20", 3);
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[1], "t");
  EXPECT_EQ(sent[2], "m");

  before = Transcript(7).size();
  r = Dorv({"stop", "--json"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(nlohmann::json::parse(r.out)["mode"], "Sleep");
  EXPECT_EQ(From(Since(Transcript(7), before), "f", 2), (std::vector<std::string>{"f", "p"}));

  // Two hours ahead: clock, reservation, "f" and "t", as the dialog's OK
  // and the recording mode box send them.
  std::string at = LocalTimeIn(7200, "%Y/%m/%d %H:%M");
  std::string mmdd = at.substr(5);
  before = Transcript(7).size();
  r = Dorv({"reserve", at});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("mode: 開始\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("RSV " + mmdd), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "");
  sent = From(Since(Transcript(7), before), "s20", 4);
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[1], "l" + mmdd);
  EXPECT_EQ(sent[2], "f");
  EXPECT_EQ(sent[3], "t");

  // Far ahead: the dialog's remark goes to standard error, the start goes on.
  at = LocalTimeIn(20 * 86400, "%Y/%m/%d %H:%M");
  r = Dorv({"reserve", at});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.err.find("dorv: COM7: 予約時間: ずいぶんさきですけど、よいですか？"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.out.find("RSV " + at.substr(5)), std::string::npos) << r.out;
}

TEST_F(Cli, MonitorPrintsOneLinePerAnswer) {
  auto logger = StartLogger(7);
  auto r = Dorv({"monitor", "--count", "3"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  std::regex line(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d X=-?\d+ Y=-?\d+ Z=-?\d+ T=\d+\.\d\dC)");
  std::istringstream in(r.out);
  int lines = 0;
  for (std::string l; std::getline(in, l); ++lines) EXPECT_TRUE(std::regex_match(l, line)) << l;
  EXPECT_EQ(lines, 3);
  auto sent = Transcript(7);
  EXPECT_GE(std::count(sent.begin(), sent.end(), "n"), 3);

  r = Dorv({"monitor", "--count", "2", "--json"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  std::istringstream json(r.out);
  lines = 0;
  for (std::string l; std::getline(json, l); ++lines) {
    auto v = nlohmann::json::parse(l);
    EXPECT_TRUE(v["x"].is_number_integer() && v["y"].is_number_integer() &&
                v["z"].is_number_integer())
        << l;
    EXPECT_TRUE(v["temperature"].is_number()) << l;
  }
  EXPECT_EQ(lines, 2);
}

// Without --count the monitor runs until it is told to stop, which is no
// failure; a logger that falls silent is one.
TEST_F(Cli, MonitorEndsAtSigtermAndFailsOnSilence) {
  {
    auto logger = StartLogger(7);
    BackgroundProcess monitor({BinDir() + "/dorv", "monitor"}, Env());
    std::string first = monitor.FirstLine();
    EXPECT_NE(first.find(" X="), std::string::npos) << first;
    EXPECT_EQ(monitor.Stop(), 0);
  }
  auto logger = StartLogger(8, {"--fault", "unplug-after=1500"});
  auto r = Dorv({"monitor"});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.err.find("dorv: COM8: the logger stopped answering"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find(" X="), std::string::npos) << r.out;  // the lines before
}

TEST_F(Cli, BurstSavesTheWindowsDocument) {
  auto logger = StartLogger(7);
  std::string file = dir.path + "/burst.csv";
  auto r = Dorv({"burst", "5", "-o", file});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "COM7\t" + file + "\t999 rows\n");
  auto lines = ReadLines(file);
  ASSERT_EQ(lines.size(), 1002u);  // start, value line, rows 1 to 999, end
  EXPECT_EQ(lines[0].rfind("Start Time=20", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find(" @1G=10"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("tmp="), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find(":00.005,"), std::string::npos) << lines[2];
  EXPECT_NE(lines[1000].find(":04.995,"), std::string::npos) << lines[1000];
  EXPECT_EQ(lines[1001].rfind("End=>", 0), 0u) << lines[1001];
}

// A burst the line breaks off is a failure and leaves no file behind.
TEST_F(Cli, BurstCutShortWritesNothing) {
  auto logger = StartLogger(7, {"--fault", "unplug-after=3000"});
  std::string file = dir.path + "/burst.csv";
  auto r = Dorv({"burst", "5", "-o", file});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.err.find("COM7: burst incomplete: "), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(std::filesystem::exists(file));
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
                      {{"set", "buzzer", "off"}, 2, "", "choose one with --port"},
                      {{"download", "-o", dir.path + "/x.csv"}, 2, "", "COM9"},
                      {{"download", "--all", "-o", dir.path + "/none"}, 1, "", "not a folder"},
                  });
}

// The bash completion that installations carry: what it offers after the
// words typed so far.
TEST_F(Cli, BashCompletion) {
  auto logger = StartLogger(7);
  struct {
    std::vector<std::string> words;  // after "dorv"; the last is being typed
    std::vector<std::string> offered;
    std::vector<std::string> notOffered;
  } cases[] = {
      {{""}, {"list", "set", "reserve", "burst", "--help"}, {}},
      {{"mo"}, {"monitor"}, {"list"}},
      {{"set", ""}, {"interval", "threshold", "buzzer", "low-temp"}, {"--port"}},
      {{"set", "interval", "3"}, {"30sec", "30min", "3min"}, {"1min"}},
      {{"set", "buzzer", ""}, {"on", "off"}, {}},
      {{"set", "threshold", ""}, {}, {"on", "interval"}},
      {{"set", "--port", "COM7", "sampling", "R"}, {"Real(32Hz)"}, {}},
      {{"monitor", "--"}, {"--count", "--json", "--port"}, {"--all"}},
      {{"download", "--"}, {"--all"}, {"--json"}},
      {{"info", "--port", ""}, {"COM7", "/dev/pts/"}, {}},
  };
  const std::string completion = std::string(DORV_SOURCE_ROOT) + "/dist/linux/dorv.bash-completion";
  for (auto& c : cases) {
    std::string words = "'" + BinDir() + "/dorv'";
    for (auto& w : c.words) words += " '" + w + "'";
    std::string script = "source '" + completion + "'; COMP_WORDS=(" + words +
                         "); COMP_CWORD=" + std::to_string(c.words.size()) +
                         "; _dorv; printf '%s\\n' \"${COMPREPLY[@]}\"";
    auto r = RunProcess({"/bin/bash", "-c", script}, "", Env());
    std::string line;
    for (auto& w : c.words) line += w + " ";
    EXPECT_EQ(r.exitCode, 0) << line << r.err;
    EXPECT_EQ(r.err, "") << line;
    for (auto& o : c.offered) EXPECT_NE(r.out.find(o), std::string::npos) << line << "\n" << r.out;
    for (auto& o : c.notOffered)
      EXPECT_EQ(r.out.find(o + "\n"), std::string::npos) << line << "\n" << r.out;
  }
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
  auto own = [&](const char* serial) {
    auto args = seeded;
    args.insert(args.end(), {"--serial", serial});
    return args;
  };
  auto a = StartLogger(11, own("DORV0011"));
  auto b = StartLogger(12, own("DORV0012"));
  auto broken = own("DORV0013");
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
  // Each file is named by its logger's serial number.
  EXPECT_NE(files[0].find("/DORV0011-"), std::string::npos) << files[0];
  EXPECT_NE(files[1].find("/DORV0012-"), std::string::npos) << files[1];
  EXPECT_EQ(files[0].find("-COM11"), std::string::npos) << files[0];
  a.reset();
  c.reset();
  std::string window = dir.path + "/window.csv";
  WindowSave(window);  // COM12, the one left
  const std::string saved = FileBytes(window);
  EXPECT_GT(saved.size(), 2000u * 40);
  EXPECT_TRUE(FileBytes(files[0]) == saved) << FileBytes(files[0]).size() << " " << saved.size();
  EXPECT_TRUE(FileBytes(files[1]) == saved) << FileBytes(files[1]).size() << " " << saved.size();
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
