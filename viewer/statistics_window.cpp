#include "viewer/statistics_window.h"

#include "ui/text.h"
#include "viewer/graph_paint.h"
#include "viewer/graph_window.h"

namespace dorv::viewer {

TForm4* Form4 = nullptr;

TForm4::TForm4() : TForm("Form4") {
  BindControls();
  WireEvents();
}

TForm4::~TForm4() {
  if (Form4 == this) Form4 = nullptr;
}

void TForm4::Timer1Timer() {
  // Runs also while hidden, so the window shows current values when it
  // appears again.
  if (!Form2) return;
  const int d = Form2->Divisor();
  Label1->SetCaption(Form2->RangeStartText);
  Label2->SetCaption(Form2->RangeEndText);
  Label3->SetCaption(StatValueText("●最大値", Form2->StatMax, d));
  Label4->SetCaption(StatValueText("●最小値", Form2->StatMin, d));
  Label7->SetCaption(StatValueText("●平均値", Form2->StatMean, d));
  Label5->SetCaption(ui::Format("●データ数  : %d個", Form2->StatCount));
}

}  // namespace dorv::viewer
