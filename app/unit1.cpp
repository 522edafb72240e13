#include "app/unit1.h"

#include "ui/application.h"
#include "ui/text.h"

namespace dorv::app {

TForm1* Form1 = nullptr;

using ui::Application;

TForm1::TForm1() : TForm("Form1") {
  // Unit start-up: the record store exists for the whole run.
  RecordLines.assign(kRecordCapacity, std::string());
  FastRows.assign(kRecordCapacity, {});
  BindControls();

  auto num = [](const int& v) { return [&v] { return std::to_string(v); }; };
  auto text = [](const std::string& s) { return [&s] { return s; }; };
  auto fixed = [](const auto& f) { return [&f] { return f.Str(); }; };
  auto stamp = [](const TDateTime& d) { return [&d] { return ui::Format("%.9f", d); }; };
  stateVars_ = {
      {"TitleSuffix", text(TitleSuffix)},
      {"NowText", text(NowText)},
      {"NowStamp", stamp(NowStamp)},
      {"WakeAt", stamp(WakeAt)},
      {"WakePending", num(WakePending)},
      {"ReserveTimeText", text(ReserveTimeText)},
      {"LoggerReady", num(LoggerReady)},
      {"LoggerAwake", num(LoggerAwake)},
      {"AutoConnectDone", num(AutoConnectDone)},
      {"FirstQueryPending", num(FirstQueryPending)},
      {"LineBuf", fixed(LineBuf)},
      {"LineLen", num(LineLen)},
      {"PendingCmd1", fixed(PendingCmd1)},
      {"PendingCmd2", fixed(PendingCmd2)},
      {"PendingCmd3", fixed(PendingCmd3)},
      {"TickSendQueue", fixed(TickSendQueue)},
      {"TickSendPos", num(TickSendPos)},
      {"MonitorExtraCmd", fixed(MonitorExtraCmd)},
      {"Monitoring", num(Monitoring)},
      {"MonitorRequestOpen", num(MonitorRequestOpen)},
      {"MonitorStartPending", num(MonitorStartPending)},
      {"Downloading", num(Downloading)},
      {"FirmwareUpdating", num(FirmwareUpdating)},
      {"FirmwareLineIndex", num(FirmwareLineIndex)},
      {"FastRowIndex", num(FastRowIndex)},
      {"FastRowsExpected", num(FastRowsExpected)},
      {"SavedTimerInterval", num(SavedTimerInterval)},
      {"ModeBits", num(ModeBits)},
      {"ThresholdDivisor", num(ThresholdDivisor)},
      {"ThresholdRaw", num(ThresholdRaw)},
      {"IntervalCodes", text(IntervalCodes)},
      {"IntervalIndex", num(IntervalIndex)},
      {"IntervalText", text(IntervalText)},
      {"HasMillisDigit", num(HasMillisDigit)},
      {"CheckBox2State", num(CheckBox2State)},
      {"AxisText1", text(AxisText1)},
      {"AxisText2", text(AxisText2)},
      {"AxisText3", text(AxisText3)},
      {"MonitorTempText", text(MonitorTempText)},
      {"RecordCount", num(RecordCount)},
      {"DataCount", num(DataCount)},
      {"FastRowColumn", num(FastRowColumn)},
      {"FastStartText", text(FastStartText)},
      {"FastEndText", text(FastEndText)},
      {"DownloadStart", stamp(DownloadStart)},
      {"DownloadElapsed", stamp(DownloadElapsed)},
      {"DecodeYear", num(DecodeYear)},
      {"ReserveState", num(ReserveState)},
      {"DataSourceName", text(DataSourceName)},
      {"BaseWidth", num(BaseWidth)},
      {"BaseHeight", num(BaseHeight)},
      {"SavedHeight", num(SavedHeight)},
      {"WorkText", text(WorkText)},
  };
}

TForm1::~TForm1() {
  if (Form1 == this) Form1 = nullptr;
}

void TForm1::BindControls() {
  Timer1 = Find<ui::TTimer>("Timer1");
  Memo1 = Find<ui::TMemo>("Memo1");
  Memo2 = Find<ui::TMemo>("Memo2");
  Button11 = Find<ui::TButton>("Button11");
  Button22 = Find<ui::TButton>("Button22");
  Button45 = Find<ui::TButton>("Button45");
  UpDown1 = Find<ui::TUpDown>("UpDown1");
  Edit3 = Find<ui::TEdit>("Edit3");
  Edit9 = Find<ui::TEdit>("Edit9");
  Label6 = Find<ui::TLabel>("Label6");
  ComboBox1 = Find<ui::TComboBox>("ComboBox1");
  ComboBox2 = Find<ui::TComboBox>("ComboBox2");
  ComboBox3 = Find<ui::TComboBox>("ComboBox3");
  ComboBox4 = Find<ui::TComboBox>("ComboBox4");
  ComboBox5 = Find<ui::TComboBox>("ComboBox5");
  ProgressBar1 = Find<ui::TProgressBar>("ProgressBar1");

  Timer1->SetOnTimer([this] { Timer1Timer(); });
}

bool TForm1::GetStateVariable(const std::string& name, std::string& out) const {
  auto it = stateVars_.find(name);
  if (it == stateVars_.end()) return false;
  out = it->second();
  return true;
}

void TForm1::FormCreate() {
  auto* app = Application();
  // 1. Position from the screen size.
  int sw = app->ScreenWidth(), sh = app->ScreenHeight();
  int left = sw >= 1024 ? sw / 8 : sw / 16;
  int top = sh >= 800 ? sh / 8 : 10;
  // 2. Size: only the upper part of the design shows.
  int height = Button11->Top() + 67;
  int width = 2 * Memo1->Left() + Memo1->Width();
  SetBounds(left, top, width, height);
  // 3. Empty command slots and the document.
  PendingCmd1.Clear();
  PendingCmd2.Clear();
  PendingCmd3.Clear();
  MonitorExtraCmd.Clear();
  Memo1->Clear();
  TickSendPos = -1;
  // 4. Port chooser spinner and the port text.
  UpDown1->SetMax(100);
  UpDown1->SetMin(0);
  UpDown1->SetPosition(0);
  Edit3->SetText("1");
  // 5. One tick at once: the port search starts before the window shows.
  Timer1Timer();
  // 6.
  IntervalCodes = "ABCDEJOT^abcdef";
  IntervalIndex = 0;
  Button22->Hide();
  WakePending = 0;
  // 7. Threshold codes "00" to "98".
  std::vector<std::string> thresholds;
  for (int i = 0; i <= 98; ++i)
    thresholds.push_back(i <= 9 ? ui::Format("0%d", i) : ui::Format("%2d", i));
  ComboBox1->SetItems(std::move(thresholds));
  // 8. Recording modes.
  ComboBox4->SetItems({"今すぐ開始", "Sleep", "予約開始"});
  // 9. Record intervals.
  ComboBox2->SetItems({"1sec", "5sec", "10sec", "15sec", "20sec", "30sec", "1min", "2min", "3min",
                       "4min", "5min", "10min", "15min", "20min", "30min"});
  ComboBox2->SetText("10min");
  // 10. Sampling periods.
  ComboBox3->SetItems({"1mTRC", "2mTRC", "5mTRC", "10mTRC", "20mTRC", "1msec", "2msec", "5msec",
                       "10msec", "20msec", "Real(32Hz)", "Trace(32Hz)", "16Hz", "8Hz"});
  ComboBox3->SetText("R");
  // 11.
  ProgressBar1->Hide();
  BaseWidth = Width();
  BaseHeight = Height();
  Button45->Hide();
  FirmwareUpdating = 0;
}

}  // namespace dorv::app
