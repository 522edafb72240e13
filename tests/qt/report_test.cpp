// The graph window's one-page report written by the Qt front end's PDF
// writer, read back as text with pdftotext.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "common/process.h"
#include "qtui/pdf_document_qt.h"
#include "ui/pdf_document.h"
#include "viewer/all_axis_statistics_window.h"
#include "viewer/graph_fixture.h"

namespace dorv::testing {
namespace {

// A program of poppler-utils, found on the PATH (its path, or the name as
// given when it is not there, so that running it fails and says which).
std::string Tool(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "/usr/bin");
  for (std::string d; std::getline(dirs, d, ':');) {
    const std::string candidate = d + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return name;
}

std::string Squeezed(const std::string& s) {
  return std::regex_replace(s, std::regex("\\s+"), " ");
}

class GraphReport : public ::testing::Test, public GraphApp {
 protected:
  GraphReport() {
    app_.CreateForm(viewer::Form7);
    Modals().SetAnswerDelay(std::chrono::milliseconds(0));
    qtui::InstallPdfDocumentWriter();
  }
  ~GraphReport() override { ui::SetPdfDocumentWriter(nullptr); }

  // A connected logger's identity and a marked range of ten samples with
  // negative temperatures.
  void OpenWithRange() {
    auto* f1 = app::Form1;
    f1->ComboBox5->SetText("10");
    f1->Label18->SetCaption("03");
    f1->ComboBox2->SetText("1sec");
    f1->ComboBox1->SetText("05");
    f1->DataSourceName = "1003";
    f1->LoggerReady = 1;
    f1->Edit5->SetText("DORV");
    Open(Document(Series(1000, 0, 1000, [](int i) { return i % 10 - 3; })));
    Choose("10秒");
    f2->ScrollBar1->SetPosition(500);
    Paint();
    f2->UserMouseDown(ui::TMouseButton::mbLeft, 428, 200);
    Paint();
  }
};

TEST_F(GraphReport, PdfHoldsTheGraphTheStatisticsAndTheIdentityAsText) {
  TempDir dir;
  OpenWithRange();
  Modals().QueueAnswer(dir.path + "/report");  // ".pdf" is added
  Act([&] { f2->Button6->UserClick(); });
  ASSERT_TRUE(Modals().Messages().empty()) << Modals().Messages()[0];
  const std::string pdf = dir.path + "/report.pdf";

  auto info = RunProcess({Tool("pdfinfo"), pdf}, "");
  ASSERT_EQ(info.exitCode, 0) << "pdfinfo (poppler-utils) must be installed: " << info.err;
  EXPECT_TRUE(std::regex_search(info.out, std::regex("\nPages: +1\n"))) << info.out;
  auto text = RunProcess({Tool("pdftotext"), "-layout", pdf, "-"}, "");
  ASSERT_EQ(text.exitCode, 0) << text.err;
  const std::string got = Squeezed(text.out);

  EXPECT_NE(got.find("DORV グラフレポート"), std::string::npos) << got;
  EXPECT_NE(got.find("ファイル: 1003"), std::string::npos) << got;
  EXPECT_NE(got.find("機種: 10 号機: 03 USBシリアル番号: DORV0001 記録間隔: 1sec しきい値: 05"),
            std::string::npos)
      << got;
  EXPECT_NE(got.find("開始:01/11 00:08:17.000 終了:01/11 00:08:27.000"), std::string::npos) << got;
  // Every row of the table as the statistics window shows it.
  const auto stats = viewer::MarkedRangeStatistics(*f2);
  ASSERT_EQ(stats.x.count, 10);
  for (const std::string& row : viewer::StatisticsRows(stats))
    EXPECT_NE(got.find(Squeezed(row)), std::string::npos) << row << "\n" << got;
  EXPECT_NE(got.find(viewer::PeakMagnitudeText(stats)), std::string::npos) << got;
  // The graph's own texts are there as text too: a legend and a G label.
  EXPECT_NE(got.find("'C (G*10)"), std::string::npos) << got;
  EXPECT_NE(got.find("10G"), std::string::npos) << got;

  // Vectors, not a picture of the window.
  std::ifstream in(pdf, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  EXPECT_EQ(bytes.str().find("/Subtype /Image"), std::string::npos);
}

TEST_F(GraphReport, AFolderThatTakesNoFileIsSaidAndNothingIsLeft) {
  TempDir dir;
  // A folder that is not there (a locked one would not stop root).
  const std::string locked = dir.path + "/missing";
  OpenWithRange();
  Modals().QueueAnswer(locked + "/report.pdf");
  Act([&] { f2->Button6->UserClick(); });
  ASSERT_EQ(Modals().Messages().size(), 1u);
  EXPECT_NE(Modals().Messages()[0].find("PDFファイルを書けません: " + locked + "/report.pdf"),
            std::string::npos)
      << Modals().Messages()[0];
  struct stat st;
  EXPECT_NE(stat((locked + "/report.pdf").c_str(), &st), 0);
  // Cancelled: nothing written, nothing said.
  Modals().Clear();
  Modals().QueueAnswer("cancel");
  Act([&] { f2->Button6->UserClick(); });
  EXPECT_TRUE(Modals().Messages().empty());
}

}  // namespace
}  // namespace dorv::testing
