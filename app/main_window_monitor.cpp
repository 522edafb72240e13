// Live monitoring and the 5 ms online acquisition (burst).
#include "app/main_window.h"
#include "link/record_decoding.h"
#include "serial/serial_port.h"
#include "ui/application.h"
#include "ui/text.h"

namespace dorv::app {

namespace {
constexpr int kBurstRowLimit = kRecordCapacity - 1;  // rows are numbered from 1
}

void TForm1::Button10Click() {
  // The controls that make way for the live display.
  ui::TControl* settings[] = {ComboBox1, ComboBox2, ComboBox3, ComboBox4, ComboBox5, Button30,
                              CheckBox2, Label19,   Button4,   Button3,   Button6,   Button9,
                              Button2,   Button11,  Button12,  Button17,  Memo1};
  ui::TControl* live[] = {Button22, TrackBar1, TrackBar2, TrackBar3, Label1, Label2,
                          Label3,   Label11,   Label27,   Label32,   Edit10};
  if (Monitoring == 0) {
    Timer1->SetInterval(0);
    Monitoring = 1;
    Button10->SetCaption("もどる");
    Memo1->Clear();
    Memo1->Add("On monitoring");
    for (auto* c : settings) c->Hide();
    for (auto* c : live) c->Show();
    Timer1->SetInterval(300);
  } else {
    Timer1->SetInterval(1000);
    Monitoring = 0;
    MonitorStartPending = 1;
    Button10->SetCaption("モニタ");
    ui::TFont font = Button10->Font();
    font.Color = ui::clWindowText;
    Button10->SetFont(font);
    Memo1->Clear();
    for (auto* c : settings) c->Show();
    for (auto* c : live) c->Hide();
  }
}

void TForm1::Button22Click() {
  MonitorExtraCmd.Set("hAAA");
}

void TForm1::Button29Click() {
  if (!Ready() || Busy()) return;
  SerialPort1->SetOpen(true);
  Send("n");
}

void TForm1::Button40Click() {
  // A value request whose first reply line carries the temperature.
  Memo1->Clear();
  SerialPort1->SetOpen(true);
  Send("n");
  // The duration: 5 to 360 seconds, 10 when the text is no number.
  std::string text = "30";
  if (!ui::Application()->Modals().InputQuery(
          "5msec", "オンラインデータ取得します。秒数を指定してください", text))
    return;
  int seconds = ui::StrToIntDef(text, 10);
  if (seconds < 5) seconds = 5;
  if (seconds > 360) seconds = 360;
  FastRowsExpected = seconds * 200;
  // The first reply line (the temperature) stays at the top of the rows.
  std::string kept = Memo1->Count() > 0 ? Memo1->Line(0) : std::string();
  Memo1->Clear();
  // No tick may talk to the logger while the rows arrive.
  SavedTimerInterval = Timer1->Interval();
  Timer1->SetInterval(0);
  SerialPort1->SetOpen(true);
  // Progress in rows.
  ProgressBar1->SetMax(FastRowsExpected);
  ProgressBar1->SetPosition(0);
  ProgressBar1->Show();
  // The header lines of the burst document.
  FastStartText = NowText;
  Memo1->Add("Start Time=" + FastStartText + " @1G=" + std::to_string(ThresholdDivisor));
  Memo1->Add(kept);
  // The burst request; rows are read by count from here on.
  Send("x");
  FastRowIndex = 1;
  FastRowColumn = 0;
}

void TForm1::ReadBurstRows(unsigned short count) {
  for (int r = 0; r < count / 8; ++r) {
    // A row ends at its CR; one that has not fully arrived goes on at the
    // next event instead of waiting here.
    bool rowDone = false;
    while (Bytes->CharReady()) {
      char b = Bytes->GetChar();
      if (b == '\r') {
        if (FastRowIndex <= kBurstRowLimit) {
          FastRows[FastRowIndex]
                  [FastRowColumn < kFastRowWidth ? FastRowColumn : kFastRowWidth - 1] = '\0';
          ++FastRowIndex;
        }
        FastRowColumn = 0;
        rowDone = true;
        break;
      }
      // A row keeps at most 19 characters; rows past the table are dropped.
      if (FastRowIndex <= kBurstRowLimit && FastRowColumn < kFastRowWidth - 1)
        FastRows[FastRowIndex][FastRowColumn] = b;
      if (FastRowColumn < kFastRowWidth - 1) ++FastRowColumn;
    }
    if (!rowDone) break;
  }
  ProgressBar1->SetPosition(FastRowIndex);
  if (FastRowIndex <= FastRowsExpected) return;
  // The burst is complete: the blank stops the logger.
  Send(" ");
  CompleteBurst();
}

void TForm1::CompleteBurst() {
  ProgressBar1->Hide();
  FastRowIndex = 0;
  ui::TDateTime now = ui::Application()->Now();
  FastEndText = ui::DateToStr(now) + " " + ui::TimeToStr(now);
  FormatBurst();
  Memo1->Add("End=>" + FastEndText);
  RestoreSavedTimer();
}

void TForm1::RestoreSavedTimer() {
  // A burst or update started while the timer was stopped must not leave it
  // stopped.
  Timer1->SetInterval(SavedTimerInterval > 0 ? SavedTimerInterval : 1000);
}

void TForm1::FormatBurst() {
  std::string temperature = link::BurstTemperatureText(Memo1->Count() > 1 ? Memo1->Line(1) : "");
  std::string prefix = FastStartText.substr(0, 17);
  Memo1->Hide();
  SavedHeight = Height();
  SetHeight(160);
  ProgressBar1->SetMax(FastRowsExpected);
  ProgressBar1->Show();
  Memo1->BeginUpdate();
  int last = FastRowsExpected - 1 < kBurstRowLimit ? FastRowsExpected - 1 : kBurstRowLimit;
  for (int r = 1; r <= last; ++r) {
    Memo1->Add(link::BurstLine(prefix, r, FastRows[r].data(), temperature));
    if (r % 100 == 0) ProgressBar1->SetPosition(r);
  }
  Memo1->EndUpdate();
  Memo1->Show();
  SetHeight(SavedHeight);
  ProgressBar1->Hide();
}

}  // namespace dorv::app
