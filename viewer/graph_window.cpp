#include "viewer/graph_window.h"

#include <algorithm>
#include <memory>

#include "app/main_window.h"
#include "ui/application.h"
#include "ui/exceptions.h"
#include "ui/text.h"
#include "viewer/all_axis_statistics_window.h"
#include "viewer/statistics_window.h"

namespace dorv::viewer {

TForm2* Form2 = nullptr;

namespace {

// ComboBox1's time scales: N / 40 is the time unit (Edit8), with the factors
// of the horizontal offset.
struct TimeScale {
  const char* text;
  int n;
  int mul;
  int div;
};
constexpr TimeScale kTimeScales[] = {
    {"0.01秒", 100, 100, 10},  {"0.1秒", 1000, 100, 10},  {"0.2秒", 2000, 100, 10},
    {"0.5秒", 5000, 100, 10},  {"秒", 10000, 100, 10},    {"10秒", 1000, 1, 10},
    {"30秒", 3000, 1, 10},     {"分", 6000, 1, 10},       {"10分", 60000, 1, 10},
    {"30分", 180000, 1, 10},   {"時間", 360000, 1, 10},   {"2時間", 720000, 1, 10},
    {"3時間", 1080000, 1, 10}, {"6時間", 2160000, 1, 10}, {"12時間", 4320000, 1, 10},
    {"日", 8640000, 1, 10},
};

}  // namespace

TForm2::TForm2() : TForm("Form2") {
  BindControls();
  WireEvents();
  auto num = [](const int& v) { return [&v] { return std::to_string(v); }; };
  auto text = [](const std::string& v) { return [&v] { return v; }; };
  // The state variables a script may read, by their names.
#define STATE(kind, name) {#name, kind(name)}
  stateVars_ = {
      STATE(num, SampleEnd),       STATE(num, PlotOriginX),   STATE(num, PlotOriginY),
      STATE(num, CursorX),         STATE(num, CursorY),       STATE(num, TimeScaleMul),
      STATE(num, TimeScaleDiv),    STATE(num, TimeScaleUnit), STATE(num, RangeWidth),
      STATE(num, RangeStartIndex), STATE(num, RangeEndIndex), STATE(text, RangeStartText),
      STATE(text, RangeEndText),   STATE(num, StatAxis),      STATE(num, StatMax),
      STATE(num, StatMin),         STATE(num, StatMean),      STATE(num, StatCount),
  };
#undef STATE
}

TForm2::~TForm2() {
  if (Form2 == this) Form2 = nullptr;
}

bool TForm2::GetStateVariable(const std::string& name, std::string& out) const {
  auto it = stateVars_.find(name);
  if (it == stateVars_.end()) return false;
  out = it->second();
  return true;
}

int TForm2::CursorSample() const {
  return std::clamp(ScrollBar1->Position(), kFirstSample, std::max(kFirstSample, SampleEnd - 1));
}

int TForm2::Divisor() const {
  return app::Form1 ? app::Form1->ThresholdDivisor : 0;
}

std::string TForm2::LabelText(int index) const {
  if (index < kFirstSample || index >= SampleEnd) return {};
  return ui::Cp932ToUtf8(Samples.Label[index].View());
}

void TForm2::FormCreate() {
  Button1Click();
  PlotOriginX = 28;
  PlotOriginY = Height() / 2;
  SetFontColor(ui::clBlack);
  CheckBox1->SetChecked(true);
  CheckBox2->SetChecked(true);
  CheckBox3->SetChecked(true);
}

void TForm2::FormShow() {
  PlotOriginX = 28;
  PlotOriginY = Height() / 2;
  try {
    Button1Click();
    Button4Click();
  } catch (...) {
    Invalidate();  // the window is shown: draw what there is
    throw;
  }
}

void TForm2::FormClose() {
  if (Form4) Form4->Close();
  if (Form7) Form7->Close();
}

void TForm2::Button1Click() {
  ui::LineStore lines;
  if (app::Form1) {
    const auto& records = app::Form1->RecordLines;
    const int count = std::clamp(app::Form1->RecordCount, 0, static_cast<int>(records.size()));
    for (int i = 0; i < count; ++i) lines.PushBack(records[i]);
  }
  Memo1->SetLines(std::move(lines));
}

void TForm2::Button4Click() {
  const int recordCount = app::Form1 ? app::Form1->RecordCount : 0;
  ParseProgress progress;
  try {
    ParseSamples(Memo1->Lines(), recordCount, Samples, progress);
  } catch (...) {
    SampleEnd = progress.end;
    if (progress.haveFirst) Label2->SetCaption(ui::Cp932ToUtf8(progress.firstTime));
    throw;
  }
  SampleEnd = progress.end;
  if (progress.haveFirst) Label2->SetCaption(ui::Cp932ToUtf8(progress.firstTime));
  Label3->SetCaption(ui::Cp932ToUtf8(progress.lastTime));

  // Raises the toolkit's range error for fewer than 6 lines.
  const int before = ScrollBar1->Position();
  ScrollBar1->SetMax(recordCount - 3);
  ScrollBar1->SetPosition((recordCount - 3) / 2);
  // New data at the same position: the cursor time must follow all the same.
  if (ScrollBar1->Position() == before) ScrollBar1Change();

  Label1->SetCaption(std::to_string(progress.backwardSteps));
}

void TForm2::ScrollBar1Change() {
  Invalidate();
  Label4->SetCaption(LabelText(CursorSample()));
}

void TForm2::ComboBox1Change() {
  const std::string& choice = ComboBox1->Text();
  for (const TimeScale& scale : kTimeScales) {
    if (choice == scale.text) {
      Edit8->SetText(std::to_string(scale.n / 40));
      TimeScaleMul = scale.mul;
      TimeScaleDiv = scale.div;
      break;
    }
  }
  const int unit = ui::StrToInt(Edit8->Text());
  // The unit divides every offset: anything below 1 is refused.
  if (unit < 1)
    throw ui::EConvertError(
        ui::Format("'%s' は 1 以上の整数ではありません", Edit8->Text().c_str()));
  TimeScaleUnit = unit;
  Invalidate();
}

void TForm2::ComboBox2Change() {
  const std::string& axis = ComboBox2->Text();
  if (axis == "X") StatAxis = 0;
  if (axis == "Y") StatAxis = 1;
  if (axis == "Z") StatAxis = 2;
  Invalidate();
}

void TForm2::CheckBox1Click() {
  Invalidate();
}

void TForm2::CheckBox2Click() {
  Invalidate();
}

void TForm2::CheckBox3Click() {
  Invalidate();
}

void TForm2::Edit1DblClick() {
  Edit1->SetText("VOID");
  Invalidate();  // the statistics drop the override at the next paint
}

void TForm2::FormMouseDown(ui::TMouseButton, int x, int) {
  RangeWidth = x - CursorX;
  if (RangeWidth <= 0) {
    RangeWidth = 0;
    if (Form4) Form4->Hide();
  } else if (Form4) {
    // Above the graph window on a tall screen, over its top on a low one;
    // always kept on the screen so that its texts can be read.
    auto* app = ui::Application();
    const int screenW = app ? app->ScreenWidth() : 1024;
    const int screenH = app ? app->ScreenHeight() : 768;
    int top, left;
    if (screenH >= 760) {
      top = Top() - Form4->Height() + 20;
      left = Left() + Width() / 3;
    } else {
      top = Top() + 10;
      left = Left() + Width() / 6;
    }
    top = std::clamp(top, 0, std::max(0, screenH - Form4->Height()));
    left = std::clamp(left, 0, std::max(0, screenW - Form4->Width()));
    Form4->SetBounds(left, top, Form4->Width(), Form4->Height());
    Form4->Show();
  }
  RangeStartText = "開始:" + Label4->Caption();
  Invalidate();
}

void TForm2::Button2Click() {
  std::unique_ptr<ui::TPrinter> printer = PrintDialog1->Execute();
  if (!printer) return;
  // The button is left out of the printed image and comes back afterwards,
  // also when the printer fails.
  Button2->Hide();
  struct ShowAgain {
    ui::TButton* button;
    ~ShowAgain() { button->Show(); }
  } showAgain{Button2};

  int w = 0, h = 0;
  std::vector<unsigned char> rgb;
  GrabClientImage(w, h, rgb);
  // The window is designed at 96 pixels per inch.
  const int dpi = printer->DotsPerInch();
  printer->BeginDoc();
  printer->DrawImage(0, 0, w * dpi / 96, h * dpi / 96, w, h, rgb);
  printer->EndDoc();
}

}  // namespace dorv::viewer
