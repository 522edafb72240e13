// The send side shared by every control: guards, writing a command, the
// follow-up status request, and the end of an exchange the logger left.
#include <algorithm>

#include "app/main_window.h"
#include "serial/serial_port.h"
#include "ui/application.h"
#include "ui/text.h"

namespace dorv::app {

bool TForm1::Busy() const {
  return SerialPort1->Open();
}

void TForm1::Send(const std::string& command) {
  Bytes->PutString(command);
}

void TForm1::SendWithStatus(const std::string& command) {
  SerialPort1->SetOpen(true);
  Send(command);
  PendingCmd1.Set("p");
  Timer1->SetInterval(0);
}

bool TForm1::ReplySilenceExceeded() const {
  auto since = std::max(SerialPort1->LastTraffic(), ui::Application()->Modals().LastBoxClosed());
  return ui::EventLoop::Clock::now() - since > std::chrono::milliseconds(kReplySilenceMs);
}

void TForm1::ReplyTimedOut() {
  // The logger stopped answering inside an exchange (a lost prompt, a pulled
  // cable, a logger that never woke): end the exchange as its prompt would,
  // keeping whatever was received, so that every control works again.
  bool awake = LoggerAwake == 1;
  std::string failure;
  if (FirmwareWait == FirmwarePhase::WaitLoader) {
    failure = "ファームウェア更新: ローダーが応答しません";
  } else if (FirmwareUpdating == 1) {
    failure =
        ui::Format("ファームウェア更新が中断されました (%d/%d行)", FirmwareLineIndex, RecordCount);
  } else if (FirmwareWait == FirmwarePhase::WaitRestart) {
    failure = "ファームウェア更新後、ロガーが再起動しません";
  } else if (FastRowIndex != 0) {
    failure =
        ui::Format("5msデータが途中で途切れました (%d/%d行)", FastRowIndex - 1, FastRowsExpected);
  } else if (Downloading == 1) {
    failure = ui::Format("データ取得が途中で途切れました (%d件)", DataCount);
  } else if (awake && Monitoring == 0) {
    failure = "ロガーから応答がありません";
  }
  SerialPort1->SetOpen(false);
  PendingCmd1.Clear();
  PendingCmd2.Clear();
  PendingCmd3.Clear();
  FirstQueryPending = 0;
  MonitorRequestOpen = 0;
  LineLen = 0;
  LineBuf.Clear();
  if (FirmwareUpdating == 1 || FirmwareWait != FirmwarePhase::Idle) {
    FirmwareUpdating = 0;
    FirmwareWait = FirmwarePhase::Idle;
    ProgressBar1->Hide();
    RestoreSavedTimer();
  } else if (FastRowIndex != 0) {
    // Keep the rows that came: the burst document is made of rows 1 to
    // FastRowsExpected - 1, and rows 1 to FastRowIndex - 1 are complete.
    FastRowsExpected = FastRowIndex;
    CompleteBurst();
  } else if (Downloading == 1) {
    CompleteDownload();  // what was received stays and can be saved
  }
  if (!awake) AutoConnectDone = 0;  // never answered the wake-up: connect again
  if (Timer1->Interval() == 0) Timer1->SetInterval(1000);
  if (!failure.empty()) ui::Application()->Modals().ShowMessage(failure);
}

}  // namespace dorv::app
