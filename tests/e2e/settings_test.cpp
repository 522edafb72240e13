// Driving the logger: settings, recording, dialogs and service commands, with
// what the logger received read from its transcript.
#include <thread>

#include "e2e/e2e.h"

namespace dorv::testing {
namespace {

// The commands after the connect exchange ("m", "m", "p", "p").
std::vector<std::string> After(std::vector<std::string> t) {
  if (t.size() >= 4) t.erase(t.begin(), t.begin() + 4);
  return t;
}

TEST_F(E2E, SettingsReachTheLoggerAndComeBackFromItsStatus) {
  auto logger = StartLogger(7);
  auto r = Script(std::string(kConnected) +
                  "choose Form1.ComboBox2 30min\n"
                  "until Form1.Timer1.Interval == 1000\n"
                  "expect Form1.ComboBox2.Text == 30min\n"
                  "expect Form1.IntervalIndex == 8\n"
                  "click Form1.Button17\n"
                  "expect Form1.ComboBox2.Text == 1min\n"
                  "wait 1500\n"
                  "choose Form1.ComboBox3 Real(32Hz)\n"
                  "until Form1.Timer1.Interval == 1000\n"
                  "expect Form1.ComboBox3.Text == Real(32Hz)\n"
                  "type Form1.ComboBox3 abc\n"
                  "until Form1.Timer1.Interval == 1000\n"
                  "expect Form1.Edit2.Text == ON\n"
                  "click Form1.Button19\n"
                  "until Form1.Edit2.Text == OFF\n"
                  "until Form1.Timer1.Interval == 1000\n"
                  "click Form1.Button19\n"
                  "until Form1.Edit2.Text == ON\n"
                  "until Form1.Timer1.Interval == 1000\n"
                  "type Form1.Edit1 -3\n"
                  "click Form1.Button18\n"
                  "until Form1.Edit1.Text == -03\n"
                  "until Form1.Timer1.Interval == 1000\n"
                  "expect Form1.Label19.Caption == BZ-ON\n"
                  "dblclick Form1.Label19\n"
                  "until Form1.Label19.Caption == BZ-OFF\n"
                  "until Form1.Timer1.Interval == 1000\n"
                  "choose Form1.ComboBox5 02\n"
                  "until Form1.ThresholdDivisor == 50\n"
                  "until Form1.Timer1.Interval == 1000\n"
                  "type Form1.Edit1 x1\n"
                  "click Form1.Button18\n"
                  "messages\n");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("message: 'x1' は整数ではありません"), std::string::npos) << r.out;
  EXPECT_EQ(After(Transcript(7, 21)),
            (std::vector<std::string>{"j^", "p", "jA", "i5", "p", "i0", "p", "Oy00", "p", "Oy01",
                                      "p", "Ox-03", "p", "z1", "p", "02", "p"}));
}

TEST_F(E2E, ModelCodeWithoutALoggerOnlySetsTheDivisor) {
  auto r = Script(
      "choose Form1.ComboBox5 02\n"
      "expect Form1.ThresholdDivisor == 50\n"
      "choose Form1.ComboBox5 20\n"
      "expect Form1.ThresholdDivisor == 5\n");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
}

TEST_F(E2E, ReservedStartGoesThroughTheDialogOnceThenAtOnce) {
  auto logger = StartLogger(7);
  auto r = Script(std::string(kConnected) +
                      "choose Form1.ComboBox4 予約開始\n"
                      "expect Form5.Visible == true\n"
                      "expect Form1.ReserveState == 2\n"
                      "choose Form5.ComboBox1 12\n"
                      "choose Form5.ComboBox2 24\n"
                      "choose Form5.ComboBox3 08\n"
                      "choose Form5.ComboBox4 30\n"
                      "click Form5.Button1\n"
                      "expect Form1.Label25.Caption == 12/24 08:30\n"
                      "expect Form1.ReserveState == 1\n"
                      "until Form1.Timer1.Interval == 1000\n"
                      "wait 1200\n"
                      "choose Form1.ComboBox4 予約開始\n"
                      "until Form1.Timer1.Interval == 1000\n",
                  {"--clock", "2015/12/20 10:00:00"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  auto t = After(Transcript(7, 12));
  ASSERT_EQ(t.size(), 8u) << r.out;
  for (int k : {0, 4}) {
    EXPECT_EQ(t[k].rfind("s2015/12/20 10:00:", 0), 0u) << t[k];
    EXPECT_EQ(t[k].size(), 20u);
    EXPECT_EQ(t[k + 1], "l12/24 08:30");
    EXPECT_EQ(t[k + 2], "f");
    EXPECT_EQ(t[k + 3], "t");
  }
}

TEST_F(E2E, StartNowSendsTheClockThenAsksTheTime) {
  auto logger = StartLogger(7);
  auto r = Script(std::string(kConnected) +
                      "choose Form1.ComboBox4 今すぐ開始\n"
                      "until Form1.Timer1.Interval == 1000\n",
                  {"--clock", "2015/03/04 05:06:07"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  auto t = After(Transcript(7, 6));
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0].rfind("s2015/03/04 05:06:", 0), 0u) << t[0];
  EXPECT_EQ(t[1], "t");
}

TEST_F(E2E, IdAndWaitDialogs) {
  auto logger = StartLogger(7);
  auto r = Script(std::string(kConnected) +
                  "dblclick Form1.Label17\n"
                  "type Form3.Edit1 100\n"
                  "click Form3.Button1\n"
                  "expect Form3.Edit1.Text == 00\n"
                  "expect Form3.Visible == true\n"
                  "type Form3.Edit1 5x\n"
                  "click Form3.Button1\n"
                  "expect Form3.Edit1.Text == 05\n"
                  "expect Form3.Visible == false\n"
                  "until Form1.Label18.Caption == 05\n"
                  "until Form1.Timer1.Interval == 1000\n"
                  "click Form1.Label30\n"
                  "type Form6.Edit1 -3\n"
                  "click Form6.Button1\n"
                  "expect Form6.Edit1.Text == 00\n"
                  "until Form1.Timer1.Interval == 1000\n");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(After(Transcript(7, 8)), (std::vector<std::string>{"N05", "p", "w00", "p"}));
}

TEST_F(E2E, DeferredWakeUpTwelveSecondsAfterButton1) {
  auto logger = StartLogger(7);
  auto r = Script(std::string(kConnected) +
                  "click Form1.Button1\n"
                  "expect Form1.WakePending == 1\n"
                  "until Form1.WakePending == 0 20000\n"
                  "until Form1.Timer1.Interval == 1000\n");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  auto t = After(Transcript(7, 7));
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[0][0], 's');
  EXPECT_EQ(t[1], "te");
  EXPECT_EQ(t[2], "m");
}

TEST_F(E2E, GuardedControlsWaitForARunningExchangeAndEnqIsAcknowledged) {
  auto logger = StartLogger(7, {"--fault", "enq", "--fault", "no-prompt=j"});
  auto r = Script(std::string(kConnected) +
                  "choose Form1.ComboBox2 5min\n"
                  "wait 500\n"
                  // The exchange is still open: guard I keeps these inert.
                  "choose Form1.ComboBox3 8Hz\n"
                  "choose Form1.ComboBox2 1sec\n"
                  "expect Form1.SerialPort1Open == 1\n"
                  // The reply watchdog ends the exchange the logger left open.
                  "until Form1.SerialPort1Open == 0 10000\n"
                  "until Form1.Timer1.Interval == 1000\n"
                  "messages\n"
                  "choose Form1.ComboBox3 8Hz\n"
                  "until Form1.Timer1.Interval == 0\n"
                  "until Form1.Timer1.Interval == 1000\n");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("message: ロガーから応答がありません"), std::string::npos) << r.out;
  auto t = Transcript(7, 12);
  // ENQ answered: the transcript shows each ACK the logger got.
  bool ack = false;
  for (auto& l : t) ack |= l.find("\\x06") != std::string::npos;
  EXPECT_TRUE(ack);
  std::vector<std::string> cmds;
  for (auto& l : t)
    if (l != "\\x06") cmds.push_back(l);
  EXPECT_EQ(After(cmds), (std::vector<std::string>{"jE", "i2", "p"}));
}

}  // namespace
}  // namespace dorv::testing
