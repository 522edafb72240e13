// The script runner's grammar and exit codes, on the real program start-up.
#include <gtest/gtest.h>

#include "common/process.h"

namespace dorv::testing {
namespace {

ProcessResult Script(const std::string& script, std::vector<std::string> args = {}) {
  TempDir dir;
  std::vector<std::string> argv{BinDir() + "/dorv-script"};
  argv.insert(argv.end(), args.begin(), args.end());
  argv.push_back("-");
  return RunProcess(argv, script, {"DORV_RUNTIME_DIR=" + dir.path});
}

TEST(ScriptRunner, UserActionsAndPrints) {
  auto r = Script(
      "# a comment, then a blank line\n"
      "\n"
      "choose Form1.ComboBox2 30min\n"
      "print Form1.ComboBox2.Text\n"
      "print Form1.ComboBox2.ItemIndex\n"
      "type Form1.Edit3 COM12\n"
      "print Form1.Edit3.Text\n"
      "click Form1.Label20\n"
      "print Form1.Timer1.Interval\n"
      "print Form1.Caption\n"
      "print Form1.ComboBox4.Items[0]\n"
      "print Form1.Memo1.Lines.Count\n"
      "print Form1.PendingCmd1\n"
      "print Form1.LoggerReady\n"
      "expect Form1.ComboBox2.Text ~ min\n"
      "expect Form1.ComboBox2.Text != 10min\n"
      "messages\n");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "Form1.ComboBox2.Text=30min\n"
            "Form1.ComboBox2.ItemIndex=14\n"
            "Form1.Edit3.Text=COM12\n"
            "Form1.Timer1.Interval=2000\n"
            "Form1.Caption=Can't find a DORV KRB Updater 1.00\n"
            "Form1.ComboBox4.Items[0]=今すぐ開始\n"
            "Form1.Memo1.Lines.Count=0\n"
            "Form1.PendingCmd1=\n"
            "Form1.LoggerReady=0\n");
}

TEST(ScriptRunner, ClockRunsOnFromTheGivenStartAndTimersTick) {
  auto r = Script(
      "expect Form1.NowText == 2015/03/04 05:06:07\n"
      "until Form1.Label6.Caption == 2015/03/04 05:06:09 5000\n"
      "print Form1.Edit9.Text\n",
      {"--clock", "2015/03/04 05:06:07"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "Form1.Edit9.Text=2000\n");
}

TEST(ScriptRunner, ExitCodesNameTheFailingLine) {
  struct Case {
    const char* script;
    int code;
    const char* err;
  } cases[] = {
      {"expect Form1.ComboBox2.Text == 5min\n", 1, "line 1"},
      {"print Form1.Left\nuntil Form1.ComboBox2.Text == never 100\n", 1, "line 2"},
      {"click Form1.Button22\n", 1, "not visible"},
      {"mouse Form2 10 10\n", 1, "not shown"},
      {"jump Form1.Button4\n", 2, "unknown command"},
      {"click Form9.Button4\n", 2, "unknown form"},
      {"click Form1.Button999\n", 2, "unknown control"},
      {"print Form1.ComboBox2.Colour\n", 2, "unknown property"},
      {"print Form1.NoSuchState\n", 2, "unknown name"},
      {"expect Form1.Left >= 3\n", 2, "expected =="},
      {"wait soon\n", 2, "bad time"},
      {"choose Form1.Button4 x\n", 2, "not a combo box"},
  };
  for (auto& c : cases) {
    auto r = Script(c.script);
    EXPECT_EQ(r.exitCode, c.code) << c.script;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << c.script << " -> " << r.err;
  }
}

TEST(ScriptRunner, ClosingTheMainWindowEndsTheScript) {
  auto r = Script("close Form1\nexpect Form1.Left == nonsense\n");
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

}  // namespace
}  // namespace dorv::testing
