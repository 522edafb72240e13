// Service and test commands of the lower area.
#include "app/main_window.h"
#include "serial/serial_port.h"
#include "ui/application.h"

namespace dorv::app {

void TForm1::Button1Click() {
  // The PC clock, then "te"; twelve seconds after the tick that armed it the
  // tick sends a wake-up.
  SerialPort1->SetOpen(true);
  SerialPort1->SetOpen(true);
  Send("s" + NowText);
  PendingCmd1.Set("te");
  Timer1->SetInterval(0);
  WakeAt = NowStamp + 12.0 / 86400.0;
  WakePending = 1;
}

void TForm1::Button37Click() {
  if (!Ready()) return;
  Memo1->Clear();
  SerialPort1->SetOpen(true);
  Send(std::string("\x03\x06\x03\x06\x03", 5));
}

void TForm1::Button38Click() {
  if (LoggerAwake != 1) {
    EnterConnectedState();  // by hand, nothing sent
  } else if (Ready()) {
    SerialPort1->SetOpen(true);
    Send("n");
  }
}

void TForm1::Button8Click() {
  Memo1->Clear();
  MonitorRequestOpen = 0;
  LoggerReady = 1;
  SerialPort1->SetOpen(true);
  Send("p");
  Timer1->SetInterval(2000);
}

void TForm1::Button15Click() {
  Memo1->Clear();
  SerialPort1->SetOpen(true);
  Send("m");
}

void TForm1::Button46Click() {
  SerialPort1->SetOpen(true);
  Send("m");
}

void TForm1::Button45Click() {
  SerialPort1->SetOpen(true);
  Send("e");
  Send("p");
  Button45->Hide();
  Button46->Show();
  SerialPort1->SetOpen(false);
}

void TForm1::Button41Click() {
  if (!Ready()) return;
  Memo1->Clear();
  SerialPort1->SetOpen(true);
  Send("Z");
}

void TForm1::Button43Click() {
  if (!Ready()) return;
  Memo1->Clear();
  SerialPort1->SetOpen(true);
  Send("Vp");
}

void TForm1::Button44Click() {
  Memo1->Clear();
  SerialPort1->SetOpen(true);
  Send("vp");
}

void TForm1::Button16Click() {
  if (!Ready() || Busy()) return;
  SerialPort1->SetOpen(true);
  Send("t");
}

void TForm1::Button26Click() {
  SerialPort1->SetOpen(true);
  Send("N01");
  TickSendQueue.Set("p");
  TickSendPos = 0;
}

void TForm1::Button5Click() {
  SerialPort1->SetOpen(true);
  Send("#");
}

void TForm1::Button42Click() {
  for (unsigned short n = 0; n <= 3; ++n) {
    SerialPort1->SetComNumber(n);
    SerialPort1->SetOpen(false);
  }
}

void TForm1::Label20Click() {
  if (Label20->Caption() == "↓") {
    SetHeight(BaseHeight + 160);
    Label20->SetCaption("↑");
  } else {
    SetHeight(BaseHeight);
    Label20->SetCaption("↓");
  }
}

}  // namespace dorv::app
