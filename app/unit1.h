#pragma once
// The main window (TForm1): its controls, its shared state and its handlers.
// The handlers live in the source file of the area they belong to: creation
// and the timer tick here in app/, the reply parser and the command set in
// link/, the operations in operations/.
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/fixed_text.h"
#include "ui/controls.h"
#include "ui/datetime.h"
#include "ui/dialogs.h"
#include "ui/form.h"

namespace dorv::app {

using ui::TDateTime;

constexpr int kRecordCapacity = 72020;  // record lines and burst rows
constexpr int kFastRowWidth = 20;       // characters of a burst row, with its terminator

class TForm1 : public ui::TForm {
 public:
  TForm1();
  ~TForm1() override;
  void DoCreate() override { FormCreate(); }

  // ---- Handlers ----
  void FormCreate();
  void Timer1Timer();

  // ---- Controls used by the handlers ----
  ui::TTimer* Timer1;
  ui::TMemo* Memo1;  // the document (cp932 lines)
  ui::TMemo* Memo2;  // the firmware image
  ui::TButton* Button11;
  ui::TButton* Button22;
  ui::TButton* Button45;
  ui::TUpDown* UpDown1;
  ui::TEdit* Edit3;
  ui::TEdit* Edit9;
  ui::TLabel* Label6;
  ui::TComboBox* ComboBox1;
  ui::TComboBox* ComboBox2;
  ui::TComboBox* ComboBox3;
  ui::TComboBox* ComboBox4;
  ui::TComboBox* ComboBox5;
  ui::TProgressBar* ProgressBar1;

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
  std::vector<std::array<char, kFastRowWidth>> FastRows;
  int FastRowColumn = 0;
  std::string FastStartText;
  std::string FastEndText;
  TDateTime DownloadStart = 0;
  TDateTime DownloadElapsed = 0;
  int DecodeYear = 0;

  // ---- Recording control and data naming ----
  int ReserveState = 0;
  std::string DataSourceName;

  // ---- Window geometry and scratch ----
  int BaseWidth = 0;
  int BaseHeight = 0;
  int SavedHeight = 0;
  std::string WorkText;

  bool GetStateVariable(const std::string& name, std::string& out) const override;

 private:
  void BindControls();
  std::map<std::string, std::function<std::string()>> stateVars_;
};

extern TForm1* Form1;

}  // namespace dorv::app
