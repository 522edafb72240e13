#include "app/main_window.h"

#include "files/firmware_image.h"
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
  Registry = RegistryFactory();
  BindControls();
  Memo2->SetLines(files::FirmwareImageLines());
  CarriesReleaseFirmware = files::FirmwareImageIsRelease();
  CreateSerialPort();
  WireEvents();
  // The reply watchdog is armed only while an exchange is open: from the
  // port's opening until its close, or, for a monitor request that outlives
  // the port, until the request ends (the watchdog's own tick disarms it).
  watchdog_ = std::make_unique<ui::TTimer>("ReplyWatchdog");
  ReplyWatchdog = watchdog_.get();
  ReplyWatchdog->SetEnabled(false);
  ReplyWatchdog->SetInterval(250);
  ReplyWatchdog->SetOnTimer([this] {
    // A monitor request stays open until its prompt even when a tick has
    // closed the port meanwhile, so it is watched with the port closed too.
    if (!SerialPort1->Open() && MonitorRequestOpen == 0) {
      ReplyWatchdog->SetEnabled(false);
      return;
    }
    // Nothing counts while a box of the program is open, and an exchange is
    // never ended from inside its own receive handler (only a box of the
    // handler runs the loop there), which would go on reading and sending
    // for it afterwards.
    if (ui::Application()->Modals().BoxOpen() || SerialPort1->InTriggerHandler()) return;
    // The loader's prompt and the restart have time limits of their own.
    bool waiting = FirmwareWait != FirmwarePhase::Idle;
    if (waiting ? FirmwareWaitExpired() : ReplySilenceExceeded()) ReplyTimedOut();
  });
  SerialPort1->RegisterUserCallback(this, [this](serial::TCustomSerialPort*, bool opening) {
    ReplyWatchdog->SetEnabled(opening || MonitorRequestOpen != 0);
  });

  auto num = [](const int& v) { return [&v] { return std::to_string(v); }; };
  auto text = [](const std::string& s) { return [&s] { return s; }; };
  auto fixed = [](const auto& f) { return [&f] { return f.Str(); }; };
  auto stamp = [](const TDateTime& d) { return [&d] { return ui::Format("%.9f", d); }; };
  // The state variables a script may read, by their names.
#define STATE(kind, name) {#name, kind(name)}
  stateVars_ = {
      STATE(text, TitleSuffix),
      STATE(text, NowText),
      STATE(stamp, NowStamp),
      STATE(stamp, WakeAt),
      STATE(num, WakePending),
      STATE(text, ReserveTimeText),
      STATE(num, LoggerReady),
      STATE(num, LoggerAwake),
      STATE(num, AutoConnectDone),
      STATE(num, FirstQueryPending),
      STATE(fixed, LineBuf),
      STATE(num, LineLen),
      STATE(fixed, PendingCmd1),
      STATE(fixed, PendingCmd2),
      STATE(fixed, PendingCmd3),
      STATE(fixed, TickSendQueue),
      STATE(num, TickSendPos),
      STATE(fixed, MonitorExtraCmd),
      STATE(num, Monitoring),
      STATE(num, MonitorRequestOpen),
      STATE(num, MonitorStartPending),
      STATE(num, Downloading),
      STATE(num, FirmwareUpdating),
      STATE(num, FirmwareLineIndex),
      STATE(num, FastRowIndex),
      STATE(num, FastRowsExpected),
      STATE(num, SavedTimerInterval),
      STATE(num, ModeBits),
      STATE(num, ThresholdDivisor),
      STATE(num, ThresholdRaw),
      STATE(text, IntervalCodes),
      STATE(num, IntervalIndex),
      STATE(text, IntervalText),
      STATE(num, HasMillisDigit),
      STATE(num, CheckBox2State),
      STATE(text, AxisText1),
      STATE(text, AxisText2),
      STATE(text, AxisText3),
      STATE(text, MonitorTempText),
      STATE(num, RecordCount),
      STATE(num, DataCount),
      STATE(num, FastRowColumn),
      STATE(text, FastStartText),
      STATE(text, FastEndText),
      STATE(stamp, DownloadStart),
      STATE(stamp, DownloadElapsed),
      STATE(num, DecodeYear),
      STATE(num, ReserveState),
      STATE(text, DataSourceName),
      STATE(num, BaseWidth),
      STATE(num, BaseHeight),
      STATE(num, SavedHeight),
      STATE(text, WorkText),
      {"SerialPort1Open", [this] { return std::string(SerialPort1->Open() ? "1" : "0"); }},
      STATE(num, FirmwareRejected),
      STATE(num, DroppedRecords),
  };
#undef STATE
}

TForm1::~TForm1() {
  SerialPort1->DeregisterUserCallback(this);
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
  // Position from the screen size.
  int sw = app->ScreenWidth(), sh = app->ScreenHeight();
  int left = sw >= 1024 ? sw / 8 : sw / 16;
  int top = sh >= 800 ? sh / 8 : 10;
  // Size: only the upper part of the design shows.
  int height = Button11->Top() + 67;
  int width = 2 * Memo1->Left() + Memo1->Width();
  SetBounds(left, top, width, height);
  // Empty command slots and the document.
  PendingCmd1.Clear();
  PendingCmd2.Clear();
  PendingCmd3.Clear();
  MonitorExtraCmd.Clear();
  Memo1->Clear();
  TickSendPos = -1;
  // Port chooser spinner and the port text.
  UpDown1->SetMax(100);
  UpDown1->SetMin(0);
  UpDown1->SetPosition(0);
  Edit3->SetText("1");
  // One tick at once: the port search starts before the window shows.
  Timer1Timer();
  // Interval codes in the order of ComboBox2, the wake-up button hidden, no
  // deferred wake-up yet.
  IntervalCodes = "ABCDEJOT^abcdef";
  IntervalIndex = 0;
  Button22->Hide();
  WakePending = 0;
  // Threshold codes "00" to "98".
  std::vector<std::string> thresholds;
  for (int i = 0; i <= 98; ++i)
    thresholds.push_back(i <= 9 ? ui::Format("0%d", i) : ui::Format("%2d", i));
  ComboBox1->SetItems(std::move(thresholds));
  // Recording modes.
  ComboBox4->SetItems({"今すぐ開始", "Sleep", "予約開始"});
  // Record intervals.
  ComboBox2->SetItems({"1sec", "5sec", "10sec", "15sec", "20sec", "30sec", "1min", "2min", "3min",
                       "4min", "5min", "10min", "15min", "20min", "30min"});
  ComboBox2->SetText("10min");
  // Sampling periods.
  ComboBox3->SetItems({"1mTRC", "2mTRC", "5mTRC", "10mTRC", "20mTRC", "1msec", "2msec", "5msec",
                       "10msec", "20msec", "Real(32Hz)", "Trace(32Hz)", "16Hz", "8Hz"});
  ComboBox3->SetText("R");
  // The progress bar shows only during transfers; the size as designed is
  // the size the window returns to.
  ProgressBar1->Hide();
  BaseWidth = Width();
  BaseHeight = Height();
  Button45->Hide();
  FirmwareUpdating = 0;
}

}  // namespace dorv::app
