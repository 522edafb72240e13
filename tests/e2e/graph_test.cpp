// The graph of a download: the graph button, scrolling, a time scale, a
// marked range with its statistics, and printing to a PDF.
#include "e2e/e2e.h"

namespace dorv::testing {
namespace {

TEST_F(E2E, GraphOfADownloadWithRangeStatisticsAndPrint) {
  auto logger = StartLogger(7, {"--records", "600"});
  std::string pdf = dir.path + "/graph.pdf";
  auto r = Script(std::string(kConnected) +
                  "click Form1.Button30\n"
                  "until Form1.Downloading == 0 20000\n"
                  "click Form1.Button12\n"
                  "expect Form2.Visible == true\n"
                  "expect Form2.Width == 800\n"
                  "expect Form2.Label5.Caption == 1001\n"
                  "expect Form2.ScrollBar1.Max == 599\n"
                  "scroll Form2.ScrollBar1 100\n"
                  "expect Form2.Label4.Caption ~ 11/30 14:0\n"
                  "choose Form2.ComboBox1 分\n"
                  "choose Form2.ComboBox2 Z\n"
                  "wait 100\n"
                  "expect Form2.Caption ~ start=\n"
                  "mouse Form2 468 200\n"
                  "wait 700\n"
                  "expect Form4.Visible == true\n"
                  "expect Form4.Label1.Caption ~ 開始:11/30 14:0\n"
                  "expect Form4.Label2.Caption ~ 終了:11/30 14:\n"
                  "expect Form4.Label3.Caption ~ ●最大値  : \n"
                  "expect Form4.Label4.Caption ~ ●最小値  : \n"
                  "expect Form4.Label7.Caption ~ ●平均値  : \n"
                  "expect Form4.Label5.Caption ~ 個\n"
                  "answer " +
                  pdf +
                  "\n"
                  "click Form2.Button2\n"
                  "expect Form2.Button2.Visible == true\n"
                  "mouse Form2 300 200\n"
                  "expect Form4.Visible == false\n"
                  "messages\n");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "");
  std::string text = FileBytes(pdf);
  EXPECT_EQ(text.rfind("%PDF-", 0), 0u);
  EXPECT_NE(text.find("/Count 1 "), std::string::npos);
}

}  // namespace
}  // namespace dorv::testing
