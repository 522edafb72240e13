// Recording control: start now, sleep, stand-by and the reserved start.
#include "app/main_window.h"
#include "dialogs/reservation_dialog.h"
#include "dialogs/wait_option_dialog.h"
#include "serial/serial_port.h"

namespace dorv::app {

void TForm1::ComboBox4Change() {
  if (!Ready() || Busy()) return;
  const std::string& text = ComboBox4->Text();
  // Every branch that sends sets its own follow-ups; a choice that sends
  // nothing leaves the queue as it was (no stray "k0" for a later exchange).
  if (text == "今すぐ開始") {
    SerialPort1->SetOpen(true);
    Send("s" + NowText);
    PendingCmd1.Set("t");
    Timer1->SetInterval(0);
  } else if (text == "Sleep") {
    SerialPort1->SetOpen(true);
    Send("f");
    PendingCmd1.Set("p");
    Timer1->SetInterval(0);
  } else if (text == "開始") {
    SerialPort1->SetOpen(true);
    Send("o");
    PendingCmd1.Set("p");
    Timer1->SetInterval(0);
  } else if (text == "予約開始" || text == "予約開始*") {
    if (ReserveState == 0) {
      ReserveState = 2;
      dialogs::Form5->Show();  // its OK runs this handler again
    } else {
      PendingCmd1.Set("l" + ReserveTimeText);
      Timer1->SetInterval(0);
      SerialPort1->SetOpen(true);
      Send("s" + NowText);
      PendingCmd2.Set("f");
      PendingCmd3.Set("t");
    }
  }
}

void TForm1::Button2Click() {
  if (!Ready() || Busy()) return;
  SerialPort1->SetOpen(true);
  Send("s" + NowText);
  PendingCmd1.Set("t");
  Timer1->SetInterval(0);
}

void TForm1::Button14Click() {
  if (!Ready()) return;
  SerialPort1->SetOpen(true);
  Send("f");
}

void TForm1::Button7Click() {
  if (!Ready()) return;
  SerialPort1->SetOpen(true);
  Send("o");
}

void TForm1::Label25DblClick() {
  dialogs::Form5->Show();
}

void TForm1::Label26DblClick() {
  if (!Ready()) return;
  SerialPort1->SetOpen(true);
  SerialPort1->FlushInBuffer();
  Send("t");
}

void TForm1::Label30Click() {
  dialogs::Form6->Show();
}

}  // namespace dorv::app
