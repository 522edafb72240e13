// Exchanges that are alive are never cut off by the reply watchdog: every
// action on a slow line, after a long idle spell, and with a box of the
// program held open for longer than the watchdog's limit completes with
// nothing lost and no false message.
#include <algorithm>
#include <thread>

#include "e2e/e2e.h"

namespace dorv::testing {
namespace {

constexpr int kRecords = 60;  // the irregular record is the 50th

// How the action is made hard for the watchdog.
enum class Stress { Paced, Idle, BoxHeld };

struct Action {
  const char* name;
  std::string script;                 // the user's action and its end (none: the connect)
  std::vector<std::string> commands;  // what the logger receives for it
  bool endsWithStatus;                // a status answer ends it
  const char* boxFault;               // a fault that makes the program show a box
  const char* boxShown;               // the text of that box
};

const char* const kExchangeOver =
    "until Form1.SerialPort1Open == 0 30000\n"
    "until Form1.Timer1.Interval == 1000 5000\n";
const char* const kDataCountBad = "データ数不具合";

const Action kActions[] = {
    {"StatusAfterConnect", "", {"m", "m", "p", "p"}, true, "negative-count", kDataCountBad},
    {"Settings",
     "choose Form1.ComboBox2 30min\n"
     "until Form1.IntervalIndex == 8 30000\n",
     {"j^", "p"},
     true,
     "negative-count",
     kDataCountBad},
    {"IdDialog",
     "dblclick Form1.Label17\n"
     "type Form3.Edit1 5\n"
     "click Form3.Button1\n"
     "until Form1.Label18.Caption == 05 30000\n",
     {"N05", "p"},
     true,
     "negative-count",
     kDataCountBad},
    {"WaitDialog",
     "click Form1.Label30\n"
     "type Form6.Edit1 7\n"
     "click Form6.Button1\n"
     "until Form1.Label31.Caption == 07 30000\n",
     {"w07", "p"},
     true,
     "negative-count",
     kDataCountBad},
    {"Download",
     "click Form1.Button30\n"
     "until Form1.Downloading == 0 30000\n"
     "expect Form1.RecordCount == 60\n",
     {"D"},
     false,
     "irregular",
     "時間不整合"},
    // One line rejected in every column: its "err" box (held open in the
    // last), and the update goes on to "qs" and "m".
    {"FirmwareUpdate",
     "click Form1.Button39\n"
     "until Form1.FirmwareUpdating == 1 30000\n"
     "until Form1.FirmwareUpdating == 0 120000\n"
     "until Form1.Memo1.Lines[0] ~ DORV 30000\n"
     "expect Form1.FirmwareRejected == 1\n",
     {},
     false,
     nullptr,
     nullptr},
};

struct Case {
  const Action* action;
  Stress stress;
};

std::string NameOf(const Case& c) {
  const char* s = c.stress == Stress::Paced  ? "Paced"
                  : c.stress == Stress::Idle ? "AfterIdle"
                                             : "BoxHeld";
  return std::string(c.action->name) + s;
}

void PrintTo(const Case& c, std::ostream* os) {
  *os << NameOf(c);
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (const Action& a : kActions)
    for (Stress s : {Stress::Paced, Stress::Idle, Stress::BoxHeld}) cases.push_back({&a, s});
  return cases;
}

class LiveExchange : public E2E, public ::testing::WithParamInterface<Case> {};

// The document's lines as the script printed them ("Form1.Memo1.Lines[i]=").
std::vector<std::string> Document(const std::string& out) {
  std::vector<std::string> lines;
  const std::string key = "Form1.Memo1.Lines[";
  for (size_t p = 0; (p = out.find(key, p)) != std::string::npos;) {
    size_t eq = out.find("]=", p) + 2, end = out.find('\n', eq);
    if (end > eq) lines.push_back(out.substr(eq, end - eq));
    p = end;
  }
  return lines;
}

TEST_P(LiveExchange, CompletesWithNothingLostAndNoFalseMessage) {
  const Action& a = *GetParam().action;
  const Stress stress = GetParam().stress;
  const bool connect = a.script.empty();
  const bool firmware = a.boxFault == nullptr;
  const bool boxHeld = stress == Stress::BoxHeld;

  std::vector<std::string> args{"--records", std::to_string(kRecords)};
  // The hand-over's 130 KB would take 18 minutes at 1200 baud.
  if (stress == Stress::Paced)
    args.insert(args.end(), {"--pace-baud", firmware ? "57600" : "1200"});
  if (firmware) args.insert(args.end(), {"--fault", "reject-hex-line=5"});
  if (boxHeld && !firmware) args.insert(args.end(), {"--fault", a.boxFault});

  std::string script;
  if (boxHeld && connect) script += "answer-delay 7000\n";
  script += "until Form1.LoggerReady == 1 40000\n";
  script += kExchangeOver;
  if (!connect) {
    script += "wait 500\n";
    if (stress == Stress::Idle) script += "wait 10000\n";
    script += boxHeld ? "answer-delay 7000\n" : "answer-delay 0\n";
    script += a.script;
    script += kExchangeOver;
  }
  script += "messages\n";
  for (int i = 0; i < 60; ++i) script += "print Form1.Memo1.Lines[" + std::to_string(i) + "]\n";

  // Idle before the connect: the logger is plugged in 10 s after the start.
  std::unique_ptr<BackgroundProcess> logger;
  std::thread plug;
  if (connect && stress == Stress::Idle)
    plug = std::thread([&] {
      std::this_thread::sleep_for(std::chrono::seconds(10));
      logger = StartLogger(7, args);
    });
  else
    logger = StartLogger(7, args);
  auto r = Script(script, {}, 300000);
  if (plug.joinable()) plug.join();
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;

  auto shown = Messages(r.out);
  auto doc = Document(r.out);
  if (firmware) {
    EXPECT_EQ(shown, (std::vector<std::string>{
                         "ファームウェアの書き換えをします。終了するまで操作しないでください。",
                         "err", "ファームウェア更新: 1行がロガーに拒否されました"}));
  } else if (boxHeld && a.endsWithStatus) {
    // One box per status answer, and each answer went on to its last line
    // once its box was closed.
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown, std::vector<std::string>(shown.size(), a.boxShown)) << r.out;
    EXPECT_EQ(
        std::count_if(doc.begin(), doc.end(), [](auto& l) { return l.rfind("@w=W", 0) == 0; }),
        static_cast<long>(shown.size()))
        << r.out;
  } else {
    EXPECT_EQ(shown, boxHeld ? std::vector<std::string>{a.boxShown} : std::vector<std::string>{})
        << r.out;
  }
  // The action's status answer came to its end.
  if (a.endsWithStatus) {
    ASSERT_FALSE(doc.empty());
    EXPECT_EQ(doc.back().rfind("@w=W", 0), 0u) << r.out;
  }

  auto t = Transcript(7);
  std::string all;
  for (auto& l : t) all += l + "\n";
  if (!connect) {
    // The connect's wake-ups and status requests come first.
    auto action = std::find_if(t.begin(), t.end(), [](auto& l) { return l != "m" && l != "p"; });
    t.erase(t.begin(), action);
  }
  if (!firmware) {
    EXPECT_EQ(t, a.commands) << all;
    return;
  }
  // Every image line, then "qs", then the restarted logger is woken, and
  // nothing else.
  ASSERT_FALSE(t.empty());
  EXPECT_EQ(t.front(), "e");
  auto qs = std::find(t.begin(), t.end(), "qs");
  ASSERT_NE(qs, t.end());
  EXPECT_EQ(std::count_if(t.begin() + 1, qs, [](auto& l) { return l[0] == ':' || l[0] == ';'; }),
            3039);
  EXPECT_EQ(std::vector<std::string>(qs, t.end()), (std::vector<std::string>{"qs", "m"}));
}

INSTANTIATE_TEST_SUITE_P(Watchdog, LiveExchange, ::testing::ValuesIn(AllCases()),
                         [](const auto& info) { return NameOf(info.param); });

}  // namespace
}  // namespace dorv::testing
