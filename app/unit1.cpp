#include "app/unit1.h"

#include "operations/firmware_image.h"
#include "platform/port_namespace.h"
#include "serial/serial_port.h"
#include "ui/application.h"
#include "ui/text.h"

namespace dorv::app {

TForm1* Form1 = nullptr;
std::function<std::unique_ptr<platform::Registry>()> TForm1::RegistryFactory =
    platform::CreateSystemRegistry;

using ui::Application;

namespace {

// The serial port's byte stream as it is.
class PortBytes : public ByteSource {
 public:
  explicit PortBytes(serial::TSerialPort& port) : port_(port) {}
  bool CharReady() override { return port_.CharReady(); }
  char GetChar() override { return port_.GetChar(); }
  void PutString(const std::string& s) override { port_.PutString(s); }

 private:
  serial::TSerialPort& port_;
};

}  // namespace

TForm1::TForm1() : TForm("Form1") {
  // Unit start-up: the record store exists for the whole run.
  RecordLines.assign(kRecordCapacity, std::string());
  FastRows.assign(kRecordCapacity, {});
  Registry = RegistryFactory();
  BindControls();
  Memo2->SetLines(operations::FirmwareImageLines());
  CarriesReleaseFirmware = operations::FirmwareImageIsRelease();
  CreateSerialPort();
  WireEvents();
  // The reply watchdog runs for the whole run; it acts only while an
  // exchange is open.
  watchdog_ = std::make_unique<ui::TTimer>("ReplyWatchdog");
  ReplyWatchdog = watchdog_.get();
  ReplyWatchdog->SetInterval(250);
  ReplyWatchdog->SetOnTimer([this] {
    // A monitor request stays open until its prompt even when a tick has
    // closed the port meanwhile, so it is watched with the port closed too.
    if (!SerialPort1->Open() && MonitorRequestOpen == 0) return;
    // Nothing counts while a box of the program is open, and an exchange is
    // never ended from inside its own receive handler (only a box of the
    // handler runs the loop there), which would go on reading and sending
    // for it afterwards.
    if (ui::Application()->Modals().BoxOpen() || SerialPort1->InTriggerHandler()) return;
    // The loader's prompt and the restart have time limits of their own.
    bool waiting = FirmwareWait != FirmwarePhase::Idle;
    if (waiting ? FirmwareWaitExpired() : ReplySilenceExceeded()) ReplyTimedOut();
  });

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
      {"SerialPort1Open", [this] { return std::string(SerialPort1->Open() ? "1" : "0"); }},
      {"FirmwareRejected", num(FirmwareRejected)},
      {"DroppedRecords", num(DroppedRecords)},
  };
}

TForm1::~TForm1() {
  watchdog_.reset();
  // Close while the window still exists, with no handler left to run for a
  // delivery that the close lets through.
  SerialPort1->SetOnTriggerAvail(nullptr);
  try {
    SerialPort1->SetOpen(false);
  } catch (...) {
  }
  SerialPort1.reset();
  if (Form1 == this) Form1 = nullptr;
}

void TForm1::BindControls() {
  Label1 = Find<ui::TLabel>("Label1");
  Label2 = Find<ui::TLabel>("Label2");
  Label3 = Find<ui::TLabel>("Label3");
  Label5 = Find<ui::TLabel>("Label5");
  Label6 = Find<ui::TLabel>("Label6");
  Label9 = Find<ui::TLabel>("Label9");
  Label11 = Find<ui::TLabel>("Label11");
  Label13 = Find<ui::TLabel>("Label13");
  Label15 = Find<ui::TLabel>("Label15");
  Label17 = Find<ui::TLabel>("Label17");
  Label18 = Find<ui::TLabel>("Label18");
  Label19 = Find<ui::TLabel>("Label19");
  Label20 = Find<ui::TLabel>("Label20");
  Label22 = Find<ui::TLabel>("Label22");
  Label23 = Find<ui::TLabel>("Label23");
  Label24 = Find<ui::TLabel>("Label24");
  Label25 = Find<ui::TLabel>("Label25");
  Label26 = Find<ui::TLabel>("Label26");
  Label27 = Find<ui::TLabel>("Label27");
  Label30 = Find<ui::TLabel>("Label30");
  Label31 = Find<ui::TLabel>("Label31");
  Label32 = Find<ui::TLabel>("Label32");
  Label33 = Find<ui::TLabel>("Label33");
  Label36 = Find<ui::TLabel>("Label36");
  Label39 = Find<ui::TLabel>("Label39");
  Image4 = Find<ui::TImage>("Image4");
  Image5 = Find<ui::TImage>("Image5");
  Button1 = Find<ui::TButton>("Button1");
  Button2 = Find<ui::TButton>("Button2");
  Button3 = Find<ui::TButton>("Button3");
  Button4 = Find<ui::TButton>("Button4");
  Button5 = Find<ui::TButton>("Button5");
  Button6 = Find<ui::TButton>("Button6");
  Button7 = Find<ui::TButton>("Button7");
  Button8 = Find<ui::TButton>("Button8");
  Button9 = Find<ui::TButton>("Button9");
  Button10 = Find<ui::TButton>("Button10");
  Button11 = Find<ui::TButton>("Button11");
  Button12 = Find<ui::TButton>("Button12");
  Button13 = Find<ui::TButton>("Button13");
  Button14 = Find<ui::TButton>("Button14");
  Button15 = Find<ui::TButton>("Button15");
  Button16 = Find<ui::TButton>("Button16");
  Button17 = Find<ui::TButton>("Button17");
  Button18 = Find<ui::TButton>("Button18");
  Button19 = Find<ui::TButton>("Button19");
  Button20 = Find<ui::TButton>("Button20");
  Button21 = Find<ui::TButton>("Button21");
  Button22 = Find<ui::TButton>("Button22");
  Button23 = Find<ui::TButton>("Button23");
  Button24 = Find<ui::TButton>("Button24");
  Button25 = Find<ui::TButton>("Button25");
  Button26 = Find<ui::TButton>("Button26");
  Button27 = Find<ui::TButton>("Button27");
  Button28 = Find<ui::TButton>("Button28");
  Button29 = Find<ui::TButton>("Button29");
  Button30 = Find<ui::TButton>("Button30");
  Button31 = Find<ui::TButton>("Button31");
  Button32 = Find<ui::TButton>("Button32");
  Button33 = Find<ui::TButton>("Button33");
  Button34 = Find<ui::TButton>("Button34");
  Button35 = Find<ui::TButton>("Button35");
  Button36 = Find<ui::TButton>("Button36");
  Button37 = Find<ui::TButton>("Button37");
  Button38 = Find<ui::TButton>("Button38");
  Button39 = Find<ui::TButton>("Button39");
  Button40 = Find<ui::TButton>("Button40");
  Button41 = Find<ui::TButton>("Button41");
  Button42 = Find<ui::TButton>("Button42");
  Button43 = Find<ui::TButton>("Button43");
  Button44 = Find<ui::TButton>("Button44");
  Button45 = Find<ui::TButton>("Button45");
  Button46 = Find<ui::TButton>("Button46");
  Button47 = Find<ui::TButton>("Button47");
  Button48 = Find<ui::TButton>("Button48");
  Button49 = Find<ui::TButton>("Button49");
  Button50 = Find<ui::TButton>("Button50");
  Button51 = Find<ui::TButton>("Button51");
  Button52 = Find<ui::TButton>("Button52");
  TrackBar1 = Find<ui::TTrackBar>("TrackBar1");
  TrackBar2 = Find<ui::TTrackBar>("TrackBar2");
  TrackBar3 = Find<ui::TTrackBar>("TrackBar3");
  Edit1 = Find<ui::TEdit>("Edit1");
  Edit2 = Find<ui::TEdit>("Edit2");
  Edit3 = Find<ui::TEdit>("Edit3");
  Edit4 = Find<ui::TEdit>("Edit4");
  Edit5 = Find<ui::TEdit>("Edit5");
  Edit6 = Find<ui::TEdit>("Edit6");
  Edit7 = Find<ui::TEdit>("Edit7");
  Edit8 = Find<ui::TEdit>("Edit8");
  Edit9 = Find<ui::TEdit>("Edit9");
  Edit10 = Find<ui::TEdit>("Edit10");
  Edit11 = Find<ui::TEdit>("Edit11");
  Edit12 = Find<ui::TEdit>("Edit12");
  Edit14 = Find<ui::TEdit>("Edit14");
  Edit15 = Find<ui::TEdit>("Edit15");
  Edit16 = Find<ui::TEdit>("Edit16");
  Edit17 = Find<ui::TEdit>("Edit17");
  ProgressBar1 = Find<ui::TProgressBar>("ProgressBar1");
  Memo1 = Find<ui::TMemo>("Memo1");
  Memo2 = Find<ui::TMemo>("Memo2");
  ComboBox1 = Find<ui::TComboBox>("ComboBox1");
  ComboBox2 = Find<ui::TComboBox>("ComboBox2");
  ComboBox3 = Find<ui::TComboBox>("ComboBox3");
  ComboBox4 = Find<ui::TComboBox>("ComboBox4");
  ComboBox5 = Find<ui::TComboBox>("ComboBox5");
  CheckBox1 = Find<ui::TCheckBox>("CheckBox1");
  CheckBox2 = Find<ui::TCheckBox>("CheckBox2");
  UpDown1 = Find<ui::TUpDown>("UpDown1");
  ListBox1 = Find<ui::TListBox>("ListBox1");
  ListBox2 = Find<ui::TListBox>("ListBox2");
  Timer1 = Find<ui::TTimer>("Timer1");
  SaveDialog1 = Find<ui::TSaveDialog>("SaveDialog1");
  OpenDialog1 = Find<ui::TOpenDialog>("OpenDialog1");
}

void TForm1::WireEvents() {
  Timer1->SetOnTimer([this] { Timer1Timer(); });
  Button4->OnClick = [this] { Button4Click(); };
  Button13->OnClick = [this] { Button13Click(); };
  // Settings.
  ComboBox3->OnChange = [this] { ComboBox3Change(); };
  ComboBox2->OnChange = [this] { ComboBox2Change(); };
  Button17->OnClick = [this] { Button17Click(); };
  ComboBox1->OnChange = [this] { ComboBox1Change(); };
  Button9->OnClick = [this] { Button9Click(); };
  CheckBox2->OnClick = [this] { CheckBox2Click(); };
  ComboBox5->OnChange = [this] { ComboBox5Change(); };
  Label19->OnDblClick = [this] { Label19DblClick(); };
  Button18->OnClick = [this] { Button18Click(); };
  Button19->OnClick = [this] { Button19Click(); };
  Button20->OnClick = [this] { Button20Click(); };
  Button21->OnClick = [this] { Button21Click(); };
  Button23->OnClick = [this] { Button23Click(); };
  Button24->OnClick = [this] { Button24Click(); };
  Button25->OnClick = [this] { Button25Click(); };
  Button31->OnClick = [this] { Button31Click(); };
  Button32->OnClick = [this] { Button32Click(); };
  Button33->OnClick = [this] { Button33Click(); };
  Button34->OnClick = [this] { Button34Click(); };
  Label36->OnClick = [this] { Label36Click(); };
  Button35->OnClick = [this] { Button35Click(); };
  Button36->OnClick = [this] { Button36Click(); };
  Button48->OnClick = [this] { Button48Click(); };
  Button49->OnClick = [this] { Button49Click(); };
  Button50->OnClick = [this] { Button50Click(); };
  Button51->OnClick = [this] { Button51Click(); };
  Button52->OnClick = [this] { Button52Click(); };
  Label17->OnDblClick = [this] { Label17DblClick(); };
  // Recording.
  ComboBox4->OnChange = [this] { ComboBox4Change(); };
  Button2->OnClick = [this] { Button2Click(); };
  Button14->OnClick = [this] { Button14Click(); };
  Button7->OnClick = [this] { Button7Click(); };
  Label25->OnDblClick = [this] { Label25DblClick(); };
  Label26->OnDblClick = [this] { Label26DblClick(); };
  Label30->OnClick = [this] { Label30Click(); };
  // Data.
  Button30->OnClick = [this] { Button30Click(); };
  Button47->OnClick = [this] { Button47Click(); };
  Button3->OnClick = [this] { Button3Click(); };
  Button28->OnClick = [this] { Button28Click(); };
  Button6->OnClick = [this] { Button6Click(); };
  Find<ui::TButton>("Button53")->OnClick = [this] { Button53Click(); };
  Button27->OnClick = [this] { Button27Click(); };
  Button11->OnClick = [this] { Button11Click(); };
  Button12->OnClick = [this] { Button12Click(); };
  Button10->OnClick = [this] { Button10Click(); };
  Button22->OnClick = [this] { Button22Click(); };
  Button29->OnClick = [this] { Button29Click(); };
  Button40->OnClick = [this] { Button40Click(); };
  Button39->OnClick = [this] { Button39Click(); };
  // Service.
  Button1->OnClick = [this] { Button1Click(); };
  Button37->OnClick = [this] { Button37Click(); };
  Button38->OnClick = [this] { Button38Click(); };
  Button8->OnClick = [this] { Button8Click(); };
  Button15->OnClick = [this] { Button15Click(); };
  Button46->OnClick = [this] { Button46Click(); };
  Button45->OnClick = [this] { Button45Click(); };
  Button41->OnClick = [this] { Button41Click(); };
  Button43->OnClick = [this] { Button43Click(); };
  Button44->OnClick = [this] { Button44Click(); };
  Button16->OnClick = [this] { Button16Click(); };
  Button26->OnClick = [this] { Button26Click(); };
  Button5->OnClick = [this] { Button5Click(); };
  Button42->OnClick = [this] { Button42Click(); };
  Label20->OnClick = [this] { Label20Click(); };
}

void TForm1::CreateSerialPort() {
  SerialPort1 = std::make_unique<serial::TSerialPort>();
  if (const auto* design = DesignOf("SerialPort1")) SerialPort1->LoadDesign(*design);
  portBytes_ = std::make_unique<PortBytes>(*SerialPort1);
  Bytes = portBytes_.get();
  SerialPort1->SetOnTriggerAvail(
      [this](serial::TCustomSerialPort*, uint16_t count) { SerialPort1TriggerAvail(count); });
  // Port names the search finds lead to their devices.
  platform::PortNamespace::SetFallback([](int number) -> std::optional<std::string> {
    for (auto& d : platform::ListSerialDevices())
      if (d.portName == "COM" + std::to_string(number)) return d.device;
    return std::nullopt;
  });
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
