#pragma once
// The main window (TForm1): its controls, its shared state and its handlers.
// The handlers live in app/main_window_<area>.cpp by the area of work they
// belong to; the controls are the design's (resources/forms/Form1.json).
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "forms/Form1_controls.h"
#include "link/fixed_text.h"
#include "link/record_decoding.h"
#include "platform/registry.h"
#include "serial/serial_port.h"
#include "ui/controls.h"
#include "ui/datetime.h"
#include "ui/dialogs.h"
#include "ui/event_loop.h"
#include "ui/form.h"
#include "ui/zeroed_array.h"

namespace dorv::app {

using ui::TDateTime;

constexpr int kRecordCapacity = 72020;  // record lines and burst rows
constexpr int kFastRowWidth = 20;       // characters of a burst row, with its terminator

// The byte stream between the main window and the logger: what the receive
// handler reads and what the send side writes. The serial port's own stream
// unless a test puts a stand-in in its place.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual bool CharReady() = 0;
  virtual char GetChar() = 0;
  virtual void PutString(const std::string& s) = 0;
};

class TForm1 : public ui::TForm, public designs::Form1Controls<TForm1> {
 public:
  TForm1();
  ~TForm1() override;
  void DoCreate() override { FormCreate(); }

  // ---- Creation (main_window.cpp), the periodic tick and connecting (main_window_tick.cpp) ----
  void FormCreate();
  void Timer1Timer();
  void Button4Click();   // connect
  void Button13Click();  // Device Manager

  // ---- Receive side (main_window_receive.cpp) ----
  void SerialPort1TriggerAvail(unsigned short count);

  // ---- Logger settings (main_window_settings.cpp) ----
  void ComboBox3Change();
  void ComboBox2Change();
  void Button17Click();
  void ComboBox1Change();
  void Button9Click();
  void CheckBox2Click();
  void ComboBox5Change();
  void Label19DblClick();
  void Button18Click();
  void Button19Click();
  void Button20Click();
  void Button21Click();
  void Button23Click();
  void Button24Click();
  void Button25Click();
  void Button31Click();
  void Button32Click();
  void Button33Click();
  void Button34Click();
  void Label36Click();
  void Button35Click();
  void Button36Click();
  void Button48Click();
  void Button49Click();
  void Button50Click();
  void Button51Click();
  void Button52Click();
  void Label17DblClick();

  // ---- Recording control (main_window_recording.cpp) ----
  void ComboBox4Change();
  void Button2Click();
  void Button14Click();
  void Button7Click();
  void Label25DblClick();
  void Label26DblClick();
  void Label30Click();

  // ---- Download and CSV (main_window_download.cpp) ----
  void Button30Click();
  void Button47Click();
  void Button3Click();
  void Button28Click();
  void Button6Click();
  void Button53Click();  // export for spreadsheets (main_window_export.cpp)
  void Button27Click();
  void Button11Click();
  void Button12Click();

  // ---- Monitor and burst (main_window_monitor.cpp) ----
  void Button10Click();
  void Button22Click();
  void Button29Click();
  void Button40Click();

  // ---- Firmware update (main_window_firmware.cpp) ----
  void Button39Click();

  // ---- Service commands (main_window_service.cpp) ----
  void Button1Click();
  void Button37Click();
  void Button38Click();
  void Button8Click();
  void Button15Click();
  void Button46Click();
  void Button45Click();
  void Button41Click();
  void Button43Click();
  void Button44Click();
  void Button16Click();
  void Button26Click();
  void Button5Click();
  void Button42Click();
  void Label20Click();

  // ---- Controls (the design's, from designs::Form1Controls) and the port ----
  std::unique_ptr<serial::TSerialPort> SerialPort1;
  // SerialPort1's bytes as the handlers read and write them (never null).
  ByteSource* Bytes = nullptr;

  // ---- Start-up and identity ----
  const std::string TitleSuffix = " KRB Updater 1.00";

  // ---- Clock and deferred wake-up ----
  std::string NowText;
  TDateTime NowStamp = 0;
  TDateTime WakeAt = 0;
  int WakePending = 0;
  std::string ReserveTimeText;

  // ---- Connection ----
  int LoggerReady = 0;
  int LoggerAwake = 0;
  int AutoConnectDone = 0;
  int FirstQueryPending = 0;

  // ---- Reply line and command queue ----
  FixedText<128> LineBuf;
  int LineLen = 0;
  FixedText<20> PendingCmd1;
  FixedText<5> PendingCmd2;
  FixedText<7> PendingCmd3;
  FixedText<16> TickSendQueue;
  int TickSendPos = -1;
  FixedText<5> MonitorExtraCmd;

  // ---- Operating modes ----
  int Monitoring = 0;
  int MonitorRequestOpen = 0;
  int MonitorStartPending = 0;
  int Downloading = 0;
  int FirmwareUpdating = 0;
  int FirmwareLineIndex = 0;
  int FastRowIndex = 0;
  int FastRowsExpected = 0;
  int SavedTimerInterval = 0;

  // ---- Logger settings as last reported ----
  int ModeBits = 0;
  int ThresholdDivisor = 10;
  int ThresholdRaw = 0;
  std::string IntervalCodes;
  int IntervalIndex = 0;
  std::string IntervalText;
  int HasMillisDigit = 0;
  int CheckBox2State = 0;
  std::string AxisText1, AxisText2, AxisText3;
  std::string MonitorTempText;

  // ---- Recorded data (allocated once, reused) ----
  std::vector<std::string> RecordLines;
  int RecordCount = 0;
  int DataCount = 0;
  ui::ZeroedArray<std::array<char, kFastRowWidth>> FastRows{kRecordCapacity};
  int FastRowColumn = 0;
  std::string FastStartText;
  std::string FastEndText;
  TDateTime DownloadStart = 0;
  TDateTime DownloadElapsed = 0;
  int DecodeYear = 0;
  link::RecordDecodeState Decode;  // the rest of the decoding state
  int DroppedRecords = 0;          // record lines of a download beyond the store

  // ---- Recording control and data naming ----
  int ReserveState = 0;
  std::string DataSourceName;

  // ---- Port search ----
  std::unique_ptr<platform::Registry> Registry;
  // Makes the registry reader at start-up (tests put an in-memory one here).
  static std::function<std::unique_ptr<platform::Registry>()> RegistryFactory;

  // ---- Window geometry and scratch ----
  int BaseWidth = 0;
  int BaseHeight = 0;
  int SavedHeight = 0;
  std::string WorkText;

  bool GetStateVariable(const std::string& name, std::string& out) const override;

  // ---- Helpers shared by the handlers ----
  // The send procedure's guards: R (logger ready) and I (no exchange runs).
  bool Ready() const { return LoggerReady == 1; }
  bool Busy() const;
  // The one way anything is written to the logger: a command text as it is
  // (the port opens itself when closed).
  void Send(const std::string& command);
  // Sends a command and queues a status request at the logger's next prompt,
  // stopping the tick for the exchange.
  void SendWithStatus(const std::string& command);
  // The connected state, entered when the logger first answers (or by hand).
  void EnterConnectedState();
  // The work of the receive handler by state.
  void ReadBurstRows(unsigned short count);
  void ReadFirmwareAcks();
  void ReadReplyLines();
  void LineEnd();
  void Prompt();
  void StatusLine(const char* line, int len);
  void CompleteDownload();
  // Ends a download whose answer is not the logger's (a flood): the
  // exchange ends, the records taken so far are kept, and a message says so.
  void AbandonDownload();
  void FormatBurst();
  // The end of a burst with the rows received: the document, its end line,
  // the timer back on.
  void CompleteBurst();
  // The timer's interval from before a burst or firmware update.
  void RestoreSavedTimer();
  void StartDownload(const char* command, bool withDivisor, const char* header2, int height,
                     bool setSource);
  // Ends an exchange the logger stopped answering (see the reply watchdog).
  void ReplyTimedOut();

  // Reply watchdog: when the line stays silent this long inside an exchange,
  // the exchange is ended (the logger never keeps quiet that long inside an
  // answer). Silence is the time since the port last received or sent a
  // byte (or opened) and since the program's last box closed; while a box is
  // open the program waits for its user, not for the logger, and nothing is
  // counted.
  static constexpr int kReplySilenceMs = 5000;
  ui::TTimer* ReplyWatchdog = nullptr;
  bool ReplySilenceExceeded() const;

  // Firmware update phases around the line-by-line hand-over.
  enum class FirmwarePhase { Idle, WaitLoader, WaitRestart };
  FirmwarePhase FirmwareWait = FirmwarePhase::Idle;
  ui::EventLoop::Clock::time_point FirmwareWaitSince;
  int FirmwareRejected = 0;  // lines the loader answered with "!"
  // Whether Memo2 holds the maker's release image; with the generated test
  // image the update goes to the simulated logger only.
  bool CarriesReleaseFirmware = false;
  bool FirmwareWaitExpired() const;

 private:
  void CreateSerialPort();
  std::unique_ptr<ui::TTimer> watchdog_;
  std::unique_ptr<ByteSource> portBytes_;  // the default of Bytes
  std::string lastConnectError_;           // the connect failure shown last
  std::map<std::string, std::function<std::string()>> stateVars_;
};

extern TForm1* Form1;

// The record-interval text of an index of IntervalCodes ("???" outside).
std::string IntervalTextFor(int index);

}  // namespace dorv::app
