#include "viewer/all_axis_statistics_window.h"

#include <algorithm>

#include "ui/application.h"
#include "viewer/graph_window.h"

namespace dorv::viewer {

TForm7* Form7 = nullptr;

RangeStatistics MarkedRangeStatistics(const TForm2& graph) {
  if (graph.RangeWidth == 0 || graph.RangeEndIndex <= graph.RangeStartIndex) return {};
  // Only samples the last parse stored: older entries of the store belong to
  // earlier data.
  const int end = std::min(graph.RangeEndIndex, graph.SampleEnd);
  return ComputeRangeStatistics(graph.Samples, graph.Memo1->Lines(), graph.RangeStartIndex, end,
                                graph.Divisor());
}

TForm7::TForm7() : TForm("Form7") {
  BindControls();
  WireEvents();
}

TForm7::~TForm7() {
  if (Form7 == this) Form7 = nullptr;
}

void TForm7::Timer1Timer() {
  // Nothing to follow while hidden; the button refreshes it when it opens.
  if (!Form2 || !Visible()) return;
  Label1->SetCaption(Form2->RangeWidth ? Form2->RangeStartText : "開始:");
  Label2->SetCaption(Form2->RangeWidth ? Form2->RangeEndText : "終了:");
  const RangeStatistics s = MarkedRangeStatistics(*Form2);
  const std::vector<std::string> rows = StatisticsRows(s);
  ui::TLabel* const labels[] = {Label3, Label4, Label5, Label6, Label7};
  for (size_t k = 0; k < rows.size() && k < std::size(labels); ++k) labels[k]->SetCaption(rows[k]);
  Label8->SetCaption(
      s.x.count ? PeakMagnitudeText(s)
                : "範囲が指定されていません: グラフのカーソル線の右をクリックしてください");
}

void TForm2::Button5Click() {
  if (!Form7) return;
  // Beside the graph window, kept on the screen.
  auto* app = ui::Application();
  const int screenW = app ? app->ScreenWidth() : 1024;
  const int screenH = app ? app->ScreenHeight() : 768;
  int left = Left() + Width() - Form7->Width() / 2;
  int top = Top() + 40;
  left = std::clamp(left, 0, std::max(0, screenW - Form7->Width()));
  top = std::clamp(top, 0, std::max(0, screenH - Form7->Height()));
  Form7->SetBounds(left, top, Form7->Width(), Form7->Height());
  Form7->Show();
  Form7->Timer1Timer();
}

}  // namespace dorv::viewer
