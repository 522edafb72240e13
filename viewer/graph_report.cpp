#include "viewer/graph_report.h"

#include <algorithm>

#include "app/logger_identity.h"
#include "app/main_window.h"
#include "ui/application.h"
#include "ui/datetime.h"
#include "ui/pdf_document.h"
#include "ui/scaled_canvas.h"
#include "ui/text.h"
#include "viewer/all_axis_statistics_window.h"
#include "viewer/graph_window.h"

namespace dorv::viewer {

namespace {

constexpr const char* kFixedFont = "ＭＳ ゴシック";

}  // namespace

std::string ReportSaveName(const std::string& chosen) {
  const size_t slash = chosen.find_last_of('/');
  const std::string name = slash == std::string::npos ? chosen : chosen.substr(slash + 1);
  return name.find('.') == std::string::npos ? chosen + ".pdf" : chosen;
}

void DrawGraphReport(TForm2& graph, ui::TPrinter& page, const files::LoggerIdentity& id,
                     const std::string& createdAt) {
  ui::TCanvas& c = page.Canvas();
  const int dpi = std::max(1, page.DotsPerInch());
  const int pageW = page.PageWidth();
  auto pt = [dpi](double points) { return static_cast<int>(points * dpi / 72.0); };
  int y = 0;
  c.BrushClear = true;
  c.PenWidth = 1;
  auto text = [&](const std::string& s, double points, bool bold = false,
                  const char* font = "ＭＳ Ｐゴシック") {
    c.Font.Name = font;
    c.Font.Height = pt(points);
    c.Font.Bold = bold;
    c.Font.Color = ui::clBlack;
    c.TextOut(0, y, s);
    y += pt(points * 1.5);
  };

  text("DORV グラフレポート", 16, true);
  text("ファイル: " + id.source, 10);
  text("機種: " + id.model + "   号機: " + id.unitNumber +
           "   USBシリアル番号: " + (id.usbSerial.empty() ? std::string("-") : id.usbSerial) +
           "   記録間隔: " + id.interval + "   しきい値: " + id.threshold +
           ui::Format("   1G = %d カウント", graph.Divisor()),
       10);
  text("データ: " + graph.Label2->Caption() + " 〜 " + graph.Label3->Caption() + "   カーソル: " +
           graph.Label4->Caption() + "   時間軸: 1目盛 " + graph.ComboBox1->Text(),
       10);
  y += pt(4);

  // The graph as the window draws it now, scaled to the page's width.
  const int W = std::max(1, graph.Width()), H = std::max(1, graph.Height());
  const double scale = static_cast<double>(pageW) / W;
  const int graphTop = y, graphH = static_cast<int>(H * scale);
  {
    ui::TScaledCanvas graphCanvas(c, scale, 0, graphTop, W, H);
    graph.PaintOn(graphCanvas);
    // The cursor time, a label the window shows over its paint.
    graphCanvas.Font = graph.Font();
    graphCanvas.Font.Color = ui::clBlack;
    graphCanvas.BrushClear = true;
    graphCanvas.TextOut(graph.Label4->Left(), graph.Label4->Top(), graph.Label4->Caption());
  }
  c.PenColor = ui::clBlack;
  c.PenWidth = 1;
  c.MoveTo(0, graphTop);
  c.LineTo(pageW, graphTop);
  c.LineTo(pageW, graphTop + graphH);
  c.LineTo(0, graphTop + graphH);
  c.LineTo(0, graphTop);
  y = graphTop + graphH + pt(12);

  // The statistics of the marked range.
  text("全軸の統計 (マークした範囲)", 12, true);
  const RangeStatistics s = MarkedRangeStatistics(graph);
  if (s.x.count == 0) {
    text("範囲が指定されていません", 10);
  } else {
    text(graph.RangeStartText + "   " + graph.RangeEndText, 10);
    for (const std::string& row : StatisticsRows(s)) text(row, 9, false, kFixedFont);
    text(PeakMagnitudeText(s), 10);
  }
  y += pt(8);
  text("作成: " + createdAt, 8);
}

void TForm2::Button6Click() {
  // Said before the file is chosen, so that nobody picks a name for nothing.
  ui::RequirePdfDocumentWriter();
  auto& modals = ui::Application()->Modals();
  ui::FileDialogRequest req;
  req.save = true;
  req.title = "レポートの保存";
  req.filter = "PDF files (*.pdf)|*.PDF";
  req.defaultExt = "pdf";
  req.options = ui::ofOverwritePrompt;
  req.fileName = "DORV" + (app::Form1 ? app::Form1->Label18->Caption() : std::string()) + "-report";
  if (!modals.FileDialog(req)) return;
  const std::string path = ReportSaveName(req.fileName);
  files::LoggerIdentity id;
  if (app::Form1) id = app::LoggerIdentityOf(*app::Form1);
  std::unique_ptr<ui::TPrinter> doc = ui::OpenPdfDocument(path);
  doc->BeginDoc();
  DrawGraphReport(*this, *doc, id, ui::FormatYmdHms(ui::Application()->Now()));
  doc->EndDoc();
}

}  // namespace dorv::viewer
