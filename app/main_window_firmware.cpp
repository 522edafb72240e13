// The firmware update: the carried image handed to the logger's loader line
// by line, one line per answer.
#include <algorithm>

#include "app/main_window.h"
#include "files/firmware_image.h"
#include "serial/serial_port.h"
#include "ui/application.h"
#include "ui/text.h"

namespace dorv::app {

namespace {
// How long the loader may take to show its prompt, and the restarted logger
// its "M" (the reply watchdog covers the silence between lines).
constexpr int kLoaderWaitMs = 10000;
constexpr int kRestartWaitMs = 15000;
}  // namespace

void TForm1::Button39Click() {
  // A damaged image is never sent: the logger would be left half-written.
  std::string problem = files::CheckFirmwareImage(Memo2->Lines().ToVector());
  auto& modals = ui::Application()->Modals();
  if (!problem.empty()) {
    modals.ShowMessage("ファームウェアのイメージが壊れています。書き換えを中止します。\n" +
                       problem);
    return;
  }
  // The generated test image would leave a real logger without working
  // firmware: it goes only to a port the simulated logger registered.
  std::string port = "COM" + std::to_string(SerialPort1->ComNumber());
  if (!CarriesReleaseFirmware && !platform::IsRegisteredPort(*Registry, port)) {
    modals.ShowMessage(
        "このプログラムにはリリース版のファームウェアが入っていないため、"
        "書き換えを中止しました。ロガーには何も送っていません。\n"
        "入っているのはテスト用に生成したイメージで、シミュレーターのロガー専用です。"
        "USBで接続されたロガー (" +
        port +
        ") を書き換えるには、メーカーのリリースイメージを DORV_FIRMWARE_IMAGE に指定して"
        "ビルドしたプログラムを使ってください (README の「Firmware image」)。");
    return;
  }
  if (!modals.Confirm("ファームウェアの書き換えをします。終了するまで操作しないでください。"))
    return;  // nothing sent, Timer1 as it was
  SavedTimerInterval = Timer1->Interval();
  Timer1->SetInterval(0);
  SerialPort1->SetOpen(true);
  FirmwareRejected = 0;
  Send("e");
  // The loader's "#" is awaited by the receive handler; the window stays
  // responsive meanwhile.
  FirmwareWait = FirmwarePhase::WaitLoader;
  FirmwareWaitSince = ui::EventLoop::Clock::now();
}

void TForm1::ReadFirmwareAcks() {
  auto& modals = ui::Application()->Modals();
  if (FirmwareWait == FirmwarePhase::WaitLoader) {
    // Everything before the loader's prompt is discarded, but an ENQ is
    // answered as in every exchange: the logger holds the rest of its
    // greeting, prompt included, until it has the ACK.
    while (Bytes->CharReady()) {
      char b = Bytes->GetChar();
      if (b == 5) Send(std::string(1, '\x06'));
      if (b != '#') continue;
      FirmwareWait = FirmwarePhase::Idle;
      RecordCount = Memo2->Count();
      ProgressBar1->SetMax(RecordCount);
      ProgressBar1->SetPosition(0);
      ProgressBar1->Show();
      FirmwareLineIndex = 0;
      Edit12->SetText(Memo2->Line(0));
      ProgressBar1->SetPosition(0);
      Send(Memo2->Line(0));
      ++FirmwareLineIndex;
      FirmwareUpdating = 1;
      return;
    }
    return;
  }
  if (FirmwareWait == FirmwarePhase::WaitRestart) {
    // The restarted logger ends its greeting with "M"; then it is woken.
    char last = 0;
    while (Bytes->CharReady()) last = Bytes->GetChar();
    if (last != 'M') return;
    FirmwareWait = FirmwarePhase::Idle;
    // Said while the restarted logger waits, before the timer runs again
    // and its wake-up exchange begins, so that neither is held by the box.
    if (FirmwareRejected > 0)
      modals.ShowMessage(
          ui::Format("ファームウェア更新: %d行がロガーに拒否されました", FirmwareRejected));
    RestoreSavedTimer();
    Send("m");
    return;
  }
  // One answer per line: each "!" is a line the loader rejected; the update
  // goes on once its box is closed.
  while (Bytes->CharReady()) {
    if (Bytes->GetChar() == '!') {
      ++FirmwareRejected;
      modals.ShowMessage("err");
    }
  }
  if (FirmwareLineIndex >= RecordCount - 1) {
    ProgressBar1->Hide();
    Memo1->Clear();
    Send("qs");
    FirmwareUpdating = 0;
    // The timer stays stopped until the logger is back, so that no tick
    // closes the port while it restarts.
    FirmwareWait = FirmwarePhase::WaitRestart;
    FirmwareWaitSince = ui::EventLoop::Clock::now();
    return;
  }
  ProgressBar1->SetPosition(FirmwareLineIndex);
  const std::string& line = Memo2->Line(FirmwareLineIndex);
  Edit12->SetText(line + std::to_string(FirmwareLineIndex) + std::to_string(RecordCount));
  Send(line);
  ++FirmwareLineIndex;
}

bool TForm1::FirmwareWaitExpired() const {
  // Time a box of the program was open is not the logger's.
  auto since = std::max(FirmwareWaitSince, ui::Application()->Modals().LastBoxClosed());
  auto waited = ui::EventLoop::Clock::now() - since;
  if (FirmwareWait == FirmwarePhase::WaitLoader)
    return waited > std::chrono::milliseconds(kLoaderWaitMs);
  if (FirmwareWait == FirmwarePhase::WaitRestart)
    return waited > std::chrono::milliseconds(kRestartWaitMs);
  return false;
}

}  // namespace dorv::app
