// Every fault of the simulated logger in each phase where it can strike,
// driven through the utility: it neither crashes nor waits beyond its own
// time limits (5 s of silence inside an exchange, 10 s for the loader's
// prompt, 15 s for the restart), keeps what it received, says what failed,
// and a new exchange (or, after an unplug, a new connect) works afterwards.
#include "faults/faults.h"

#include <algorithm>

namespace dorv::testing {
namespace {

constexpr int kRecords = 100;

// Checks beyond the messages, on the script's output and the transcript.
using Check = void (*)(const std::string& out, const std::vector<std::string>& transcript);

struct FaultCase {
  const char* name;
  std::vector<std::string> fault;     // --fault arguments of the logger
  bool afterConnect;                  // the phase starts once the logger is connected
  std::string phase;                  // the user's actions and what must hold after them
  std::vector<std::string> messages;  // what the user was shown, in order (prefixes)
  bool unplugs = false;               // the logger leaves: a new one comes as COM8
  Check check = nullptr;
};

// ---- The phases (each ends with the exchange over, within the limits) ----

// Connecting: the wake-up and the two status requests.
const char* const kConnecting =
    "until Form1.LoggerAwake == 1 10000\n"
    "until Form1.SerialPort1Open == 0 7500\n"
    "until Form1.Timer1.Interval == 1000 1000\n";
// Connected, the status read and shown.
const char* const kStatusShown =
    "until Form1.LoggerReady == 1 10000\n"
    "until Form1.Timer1.Interval == 1000 10000\n"
    "wait 2500\n"
    "expect Form1.Label15.Caption == 2015\n"
    "expect Form1.Label13.Caption == 100\n";
const char* const kSettings =
    "choose Form1.ComboBox2 30min\n"
    "until Form1.SerialPort1Open == 0 7500\n"
    "until Form1.Timer1.Interval == 1000 1000\n";
const char* const kDownload =
    "click Form1.Button30\n"
    "until Form1.Downloading == 0 7500\n"
    "until Form1.SerialPort1Open == 0 1000\n"
    "expect Form1.RecordCount == 100\n"
    "expect Form1.Memo1.Lines.Count == 102\n";
const char* const kMonitor =
    "click Form1.Button10\n"
    "until Form1.Edit10.Text ~ C 5000\n"
    "wait 1500\n"
    "click Form1.Button10\n"
    "until Form1.MonitorStartPending == 0 7500\n"
    "until Form1.SerialPort1Open == 0 7500\n";
const char* const kBurst =
    "answer 5\n"
    "click Form1.Button40\n"
    "until Form1.FastRowIndex == 0 15000\n"
    "until Form1.Timer1.Interval == 1000 1000\n"
    "until Form1.SerialPort1Open == 0 2500\n";
const char* const kFirmware =
    "answer-delay 0\n"
    "click Form1.Button39\n"
    "until Form1.FirmwareUpdating == 1 12000\n"
    "until Form1.FirmwareUpdating == 0 60000\n";
const char* const kFirmwareStart = "ファームウェアの書き換えをします。";

// The status of the settings exchange came back (interval letter "^").
const char* const kSettingsRead = "expect Form1.IntervalIndex == 8\n";

void RowsKeptAsReported(const std::string& out, const std::vector<std::string>&) {
  // "(k/1000行)": k complete rows came; the document holds them all, between
  // its two header lines and the end line.
  auto messages = Messages(out);
  ASSERT_FALSE(messages.empty());
  int rows = std::stoi(messages[0].substr(messages[0].find('(') + 1));
  EXPECT_GT(rows, 50);
  EXPECT_EQ(std::stoi(Printed(out, "Form1.Memo1.Lines.Count")), rows + 3);
}

void LongLineKeptAsFarAsItFits(const std::string& out, const std::vector<std::string>&) {
  // The logger's line: "LONG " and digits; the utility keeps 127 characters.
  std::string line = "LONG ";
  while (line.size() < 127) line += static_cast<char>('0' + line.size() % 10);
  EXPECT_EQ(Printed(out, "Form1.Memo1.Lines[2]"), line);
}

void MonitorKeptAsking(const std::string&, const std::vector<std::string>& t) {
  // A reply without its prompt ends after the silence; the monitor asks again.
  EXPECT_GE(std::count(t.begin(), t.end(), "n"), 2);
}

void EveryLineHandedOver(const std::string&, const std::vector<std::string>& t) {
  auto qs = std::find(t.begin(), t.end(), "qs");
  ASSERT_NE(qs, t.end());
  EXPECT_EQ(std::count_if(t.begin(), qs, [](auto& l) { return l[0] == ':' || l[0] == ';'; }), 3039);
  ASSERT_NE(qs + 1, t.end());
  EXPECT_EQ(qs[1], "m");  // the restarted logger is woken
}

const char* const kNoAnswer = "ロガーから応答がありません";

const FaultCase kCases[] = {
    // Connecting and the idle ticks after it.
    {"WakeUpWithoutPrompt", {"no-prompt=m"}, false, kConnecting, {kNoAnswer}},
    {"StatusWithoutPrompt", {"no-prompt=p"}, false, kConnecting, {kNoAnswer, kNoAnswer}},
    {"EnqWhileConnecting", {"enq"}, false, kStatusShown, {}},
    {"GarbageWhileConnecting", {"garbage"}, false, kStatusShown, {}},
    {"LongLineWhileConnecting",
     {"long-line=3000"},
     false,
     "until Form1.LoggerReady == 1 10000\n"
     "until Form1.Timer1.Interval == 1000 10000\n"
     "expect Form1.Label15.Caption == 2015\n"
     "print Form1.Memo1.Lines[2]\n",
     {},
     false,
     LongLineKeptAsFarAsItFits},
    {"UnplugWhileConnecting", {"unplug-after=100"}, false, kConnecting, {kNoAnswer}, true},
    // A settings exchange.
    {"EnqInSettings", {"enq"}, true, std::string(kSettings) + kSettingsRead, {}},
    {"GarbageInSettings", {"garbage"}, true, std::string(kSettings) + kSettingsRead, {}},
    {"LongLineInSettings", {"long-line"}, true, std::string(kSettings) + kSettingsRead, {}},
    {"UnplugInSettings", {"unplug-after=547"}, true, kSettings, {kNoAnswer}, true},
    // A download.
    {"EnqInDownload", {"enq"}, true, kDownload, {}},
    {"GarbageInDownload", {"garbage"}, true, kDownload, {}},
    // Each status read says it: the one of the connect and the one after
    // the new exchange.
    {"NegativeCountThenDownload",
     {"negative-count"},
     true,
     kDownload,
     {"データ数不具合", "データ数不具合"}},
    {"DownloadWithoutPrompt",
     {"no-prompt=D"},
     true,
     kDownload,
     {"データ取得が途中で途切れました (100件)"}},
    // The monitor.
    {"EnqInMonitor", {"enq"}, true, kMonitor, {}},
    {"GarbageInMonitor", {"garbage"}, true, kMonitor, {}},
    // While monitoring, a reply without its prompt only delays the next
    // request; the one left open when the monitor is switched off is said.
    {"MonitorWithoutPrompt",
     {"no-prompt=n"},
     true,
     "click Form1.Button10\n"
     "until Form1.Edit10.Text ~ C 5000\n"
     "wait 7000\n"
     "click Form1.Button10\n"
     "until Form1.MonitorStartPending == 0 7500\n"
     "until Form1.SerialPort1Open == 0 7500\n",
     {kNoAnswer},
     false,
     MonitorKeptAsking},
    {"UnplugInMonitor",
     {"unplug-after=530"},
     true,
     "click Form1.Button10\n"
     "until Form1.Monitoring == 0 8000\n"
     "expect Form1.Button10.Caption == モニタ\n"
     "expect Form1.Caption == Can't find a DORV KRB Updater 1.00\n",
     {},
     true},
    // The 5 ms burst.
    {"EnqBeforeBurst",
     {"enq"},
     true,
     std::string(kBurst) + "expect Form1.Memo1.Lines.Count == 1002\n",
     {}},
    {"BurstRowsDropped",
     {"drop-burst-rows=7"},
     true,
     std::string(kBurst) + "expect Form1.Memo1.Lines.Count == 1002\n",
     {}},
    {"BurstWithoutPrompt",
     {"no-prompt=x"},
     true,
     std::string(kBurst) + "expect Form1.Memo1.Lines.Count == 1002\n",
     {}},
    {"BurstWithoutRows",
     {"drop-burst-rows=1"},
     true,
     "answer 5\n"
     "click Form1.Button40\n"
     "until Form1.FastRowIndex == 0 7500\n"
     "until Form1.SerialPort1Open == 0 1000\n"
     "expect Form1.Memo1.Lines.Count == 3\n"
     "expect Form1.Memo1.Lines[2] ~ End=>\n"
     // The logger is still in its burst, silent: the next command ends it,
     // and the burst's own prompt comes first in that exchange.
     "choose Form1.ComboBox2 1min\n"
     "until Form1.SerialPort1Open == 0 7500\n"
     "until Form1.Timer1.Interval == 1000 1000\n",
     {"5msデータが途中で途切れました (0/1000行)"}},
    {"UnplugInBurst",
     {"unplug-after=1286"},
     true,
     "answer 5\n"
     "click Form1.Button40\n"
     "until Form1.FastRowIndex == 0 8000\n"
     "print Form1.Memo1.Lines.Count\n",
     {"5msデータが途中で途切れました ("},
     true,
     RowsKeptAsReported},
    // The firmware update.
    {"EnqInFirmwareUpdate",
     {"enq"},
     true,
     std::string(kFirmware) + "until Form1.Timer1.Interval == 1000 17500\n"
                              "until Form1.SerialPort1Open == 0 5000\n",
     {kFirmwareStart},
     false,
     EveryLineHandedOver},
    {"RestartWithoutM",
     {"no-final-M"},
     true,
     std::string(kFirmware) + "until Form1.SerialPort1Open == 0 17500\n",
     {kFirmwareStart, "ファームウェア更新後、ロガーが再起動しません"}},
    {"UnplugInFirmwareUpdate",
     {"unplug-after=1467"},
     true,
     std::string(kFirmware) + "until Form1.SerialPort1Open == 0 1000\n",
     {kFirmwareStart, "ファームウェア更新が中断されました ("},
     true},
};

void PrintTo(const FaultCase& c, std::ostream* os) {
  *os << c.name;
}

class FaultTable : public Faults, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FaultTable, RecoversAndSaysWhatFailed) {
  const FaultCase& c = GetParam();
  std::vector<std::string> args{"--records", std::to_string(kRecords)};
  for (auto& f : c.fault) args.insert(args.end(), {"--fault", f});
  auto logger = StartLogger(7, args);
  if (c.unplugs) ReplugAfterUnplug(7, 8);

  std::string script = c.afterConnect ? kSettled : "";
  script += c.phase;
  // Afterwards a new exchange: on the same logger, or on the one plugged in.
  if (c.unplugs) script += "until Form1.Edit3.Text == COM8 20000\n";
  script += kSettled;
  script +=
      "choose Form1.ComboBox2 5min\n"
      "until Form1.SerialPort1Open == 0 7500\n"
      "until Form1.Timer1.Interval == 1000 1000\n"
      "messages\n";
  auto r = Script(script);
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;

  auto shown = Messages(r.out);
  ASSERT_EQ(shown.size(), c.messages.size()) << r.out;
  for (size_t i = 0; i < shown.size(); ++i)
    EXPECT_EQ(shown[i].rfind(c.messages[i], 0), 0u) << shown[i];

  // The new exchange reached the logger, and its status request followed.
  auto t = Transcript(c.unplugs ? 8 : 7);
  auto j = std::find(t.begin(), t.end(), "jE");
  ASSERT_NE(j, t.end()) << r.out;
  EXPECT_TRUE(std::find(j, t.end(), "p") != t.end());
  if (c.check) c.check(r.out, Transcript(7));
}

INSTANTIATE_TEST_SUITE_P(Logger, FaultTable, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dorv::testing
