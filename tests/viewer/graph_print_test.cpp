// Printing the graph window: the client-area image on one page.
#include <fstream>
#include <sstream>

#include "graph_fixture.h"
#include "ui/exceptions.h"

namespace dorv::testing {
namespace {

struct PrintLog {
  std::vector<std::string> calls;
  int x = -1, y = -1, w = 0, h = 0, imgW = 0, imgH = 0;
  std::vector<unsigned char> rgb;
  bool buttonVisibleAtDraw = true;
};

class FakePrinter : public ui::TPrinter {
 public:
  FakePrinter(PrintLog& log, bool failAtEnd) : log_(log), failAtEnd_(failAtEnd) {}
  void BeginDoc() override { log_.calls.push_back("BeginDoc"); }
  void NewPage() override { log_.calls.push_back("NewPage"); }
  void EndDoc() override {
    log_.calls.push_back("EndDoc");
    if (failAtEnd_) throw ui::Exception("プリンタエラー");
  }
  ui::TCanvas& Canvas() override { return canvas_; }
  int DotsPerInch() const override { return 600; }
  int PageWidth() const override { return 4960; }
  int PageHeight() const override { return 7016; }
  void DrawImage(int x, int y, int w, int h, int imgW, int imgH,
                 const std::vector<unsigned char>& rgb) override {
    log_.calls.push_back("DrawImage");
    log_ = PrintLog{log_.calls, x, y, w, h, imgW, imgH, rgb, viewer::Form2->Button2->Visible()};
  }

 private:
  PrintLog& log_;
  bool failAtEnd_;
  ui::TRecordingCanvas canvas_;
};

// A print dialog that answers with a 600 dpi printer, or cancel.
class PrinterModals : public ui::HeadlessModals {
 public:
  PrinterModals(ui::EventLoop* loop, PrintLog& log, const char* answer)
      : HeadlessModals(loop), log_(log), answer_(answer) {}

 protected:
  std::unique_ptr<ui::TPrinter> DoPrintDialog() override {
    log_.calls.push_back("dialog");
    if (answer_ == "cancel") return nullptr;
    return std::make_unique<FakePrinter>(log_, answer_ == "fail");
  }

 private:
  PrintLog& log_;
  std::string answer_;
};

TEST_F(GraphWindow, PrintsTheClientAreaAtPrinterDotsPerScreenPixel) {
  Open(Document(Series(300, 0, 1000, [](int i) { return i % 20; })));
  struct {
    const char* answer;
    std::vector<std::string> calls;
    const char* message;
  } cases[] = {
      {"ok", {"dialog", "BeginDoc", "DrawImage", "EndDoc"}, nullptr},
      {"cancel", {"dialog"}, nullptr},
      {"fail", {"dialog", "BeginDoc", "DrawImage", "EndDoc"}, "プリンタエラー"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.answer);
    PrintLog log;
    app_.SetModals(std::make_unique<PrinterModals>(&app_.Loop(), log, c.answer));
    Act([&] { f2->Button2->UserClick(); });
    EXPECT_EQ(log.calls, c.calls);
    EXPECT_TRUE(f2->Button2->Visible());  // shown again, also after a failure
    if (c.message) {
      ASSERT_EQ(Modals().Messages().size(), 1u);
      EXPECT_EQ(Modals().Messages()[0], c.message);
    }
    if (log.imgW == 0) continue;
    // 792 x 523 pixels at 600 / 96 dots each, at the top left.
    EXPECT_EQ(log.x, 0);
    EXPECT_EQ(log.y, 0);
    EXPECT_EQ(log.imgW, 792);
    EXPECT_EQ(log.imgH, 523);
    EXPECT_EQ(log.w, 792 * 600 / 96);
    EXPECT_EQ(log.h, 523 * 600 / 96);
    ASSERT_EQ(log.rgb.size(), 792u * 523u * 3u);
    // The controls are in the image, the print button is not.
    EXPECT_FALSE(log.buttonVisibleAtDraw);
    auto pixel = [&](int x, int y) {
      size_t i = (size_t(y) * 792 + x) * 3;
      return ui::RGB(log.rgb[i], log.rgb[i + 1], log.rgb[i + 2]);
    };
    EXPECT_EQ(pixel(f2->ComboBox2->Left(), 12), ui::clGray);
    EXPECT_EQ(pixel(f2->Button2->Left(), 12), ui::ResolveColor(ui::clWindow));
  }
}

TEST_F(GraphWindow, PrintsToAOnePagePdfWithoutAPrinter) {
  TempDir dir;
  const std::string pdf = dir.path + "/graph.pdf";
  Open(Document(Series(300, 0, 1000, [](int i) { return i % 20; })));
  Modals().QueueAnswer(pdf);
  Modals().SetAnswerDelay(std::chrono::milliseconds(0));
  Act([&] { f2->Button2->UserClick(); });
  EXPECT_TRUE(Modals().Messages().empty());
  std::ifstream in(pdf, std::ios::binary);
  ASSERT_TRUE(in) << pdf;
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str().rfind("%PDF", 0), 0u);
  EXPECT_NE(text.str().find("/Count 1 "), std::string::npos);
  EXPECT_TRUE(f2->Button2->Visible());
}

}  // namespace
}  // namespace dorv::testing
