// From the main window's document to the graph, the statistics and a printed
// page, by a user's script.
#include <fstream>
#include <sstream>

#include "graph_fixture.h"
#include "tools/script_runner.h"

namespace dorv::testing {
namespace {

TEST_F(GraphWindow, GraphButtonRangeStatisticsAndPrintByScript) {
  TempDir dir;
  const std::string pdf = dir.path + "/graph.pdf";
  app::Form1->Memo1->SetLines(Document(Series(1000, 0, 1000, [](int i) { return i % 10 - 3; })));
  app::Form1->DataSourceName = "1003";
  app::Form1->Show();
  Modals().SetAnswerDelay(std::chrono::milliseconds(0));

  std::ostringstream out, err;
  tools::ScriptRunner runner(app_, Modals(), out, err);
  ASSERT_EQ(runner.Run({"click Form1.Button12", "expect Form2.Visible == true",
                        "expect Form2.Width == 800", "expect Form2.Label5.Caption == 1003",
                        "choose Form2.ComboBox1 10秒", "choose Form2.ComboBox2 Y"}),
            0)
      << err.str();
  // The script language has no scroll command: the user's scroll, in-process.
  f2->ScrollBar1->SetPosition(500);
  ASSERT_EQ(
      runner.Run({"wait 50", "expect Form2.Caption == start= 410end=604", "mouse Form2 428 200",
                  "wait 600", "expect Form4.Visible == true", "print Form4.Label1.Caption",
                  "print Form4.Label3.Caption", "print Form4.Label5.Caption", "answer " + pdf,
                  "click Form2.Button2", "expect Form2.Button2.Visible == true", "messages"}),
      0)
      << err.str();
  EXPECT_EQ(out.str(),
            "Form4.Label1.Caption=開始:01/11 00:08:17.000\n"
            "Form4.Label3.Caption=●最大値  :   0.200g    (2)dgt\n"
            "Form4.Label5.Caption=●データ数  : 10個\n");
  std::ifstream in(pdf, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("/Count 1 "), std::string::npos);
}

}  // namespace
}  // namespace dorv::testing
