// The logger's settings: each control writes one command; the displays are
// filled only by the reply parser from the status lines.
#include "app/main_window.h"
#include "dialogs/device_id_dialog.h"
#include "link/command_set.h"
#include "serial/serial_port.h"
#include "ui/text.h"

namespace dorv::app {

namespace {

// Record-interval names and their letters after "j".
const std::pair<const char*, char> kIntervalLetters[] = {
    {"1min", 'A'},  {"2min", 'B'},  {"3min", 'C'},  {"4min", 'D'},  {"5min", 'E'},
    {"10min", 'J'}, {"15min", 'O'}, {"20min", 'T'}, {"30min", '^'}, {"1sec", 'a'},
    {"5sec", 'b'},  {"10sec", 'c'}, {"15sec", 'd'}, {"20sec", 'e'}, {"30sec", 'f'}};

// Sampling-period names and their codes after "i"; other texts give "0".
const std::pair<const char*, char> kSamplingCodes[] = {
    {"1mTRC", 'F'},      {"2mTRC", 'E'},       {"5mTRC", 'D'},  {"1msec", 'C'},  {"2msec", 'B'},
    {"5msec", 'A'},      {"10mTRC", '9'},      {"20mTRC", '8'}, {"10msec", '7'}, {"20msec", '6'},
    {"Real(32Hz)", '5'}, {"Trace(32Hz)", '4'}, {"16Hz", '3'},   {"8Hz", '2'}};

}  // namespace

void TForm1::ComboBox3Change() {
  if (!Ready() || Busy()) return;
  char code = '0';
  for (auto& [name, c] : kSamplingCodes)
    if (ComboBox3->Text() == name) code = c;
  SendWithStatus(std::string("i") + code);
}

void TForm1::ComboBox2Change() {
  if (!Ready() || Busy()) return;
  // A text that names no interval (typed by hand) sends nothing.
  for (auto& [name, letter] : kIntervalLetters)
    if (ComboBox2->Text() == name) {
      SendWithStatus(std::string("j") + letter);
      return;
    }
}

void TForm1::Button17Click() {
  // Walks through the nine minute intervals; from a seconds interval (index
  // above 8) it starts again at 1min instead of leaving the table.
  ++IntervalIndex;
  if (IntervalIndex >= 9 || IntervalIndex < 0) IntervalIndex = 0;
  SerialPort1->SetOpen(true);
  Send(std::string("j") + IntervalCodes[IntervalIndex]);
  IntervalText = IntervalTextFor(IntervalIndex);
  ComboBox2->SetText(IntervalText);
}

void TForm1::ComboBox1Change() {
  if (!Ready()) return;
  SerialPort1->SetOpen(true);
  Send("d" + ComboBox1->Text().substr(0, 2));
  Memo1->Clear();
  PendingCmd1.Set("p");
  Timer1->SetInterval(0);
}

void TForm1::Button9Click() {
  SerialPort1->SetOpen(true);
  Send("d" + ComboBox1->Text().substr(0, 2));
}

void TForm1::CheckBox2Click() {
  if (!Ready()) return;
  int newState = CheckBox2State == 0 ? 1 : 0;
  CheckBox2->SetChecked(newState == 1);  // already there: no second click
  CheckBox2State = newState;
  SendWithStatus(newState == 1 ? "k1" : "k0");
}

void TForm1::ComboBox5Change() {
  if (Ready()) {
    // The model code itself is the command; the divisor follows from "@T".
    SendWithStatus(ComboBox5->Text());
    return;
  }
  switch (ui::StrToInt(ComboBox5->Text())) {
    case 0:
      ThresholdDivisor = 1;
      break;
    case 2:
      ThresholdDivisor = 50;
      break;
    case 20:
      ThresholdDivisor = 5;
      break;
    case 50:
      ThresholdDivisor = 2;
      break;
    default:
      ThresholdDivisor = 10;
      break;
  }
}

void TForm1::Label19DblClick() {
  if (!Ready() || Busy()) return;
  SendWithStatus(Label19->Caption() == "BZ-ON" ? "z1" : "z0");
}

namespace {
// Option commands with their arguments: Memo1 cleared, a status request.
void OptionCommand(TForm1& f, const std::string& command) {
  f.Memo1->Clear();
  f.SendWithStatus(command);
}
}  // namespace

// The argument is formed before the port opens, so that a text that is not a
// number leaves no port open behind its conversion message.
void TForm1::Button18Click() {
  if (!Ready()) return;
  OptionCommand(*this, "Ox" + link::FormatSignedArg(Edit1->Text()));
}
void TForm1::Button19Click() {
  if (!Ready()) return;
  OptionCommand(*this, "Oy" + link::ToggleArg(Edit2->Text()));
}
void TForm1::Button20Click() {
  if (!Ready()) return;
  OptionCommand(*this, "Oz" + link::ToggleArg(Edit6->Text()));
}
void TForm1::Button21Click() {
  if (!Ready()) return;
  OptionCommand(*this, "OX" + link::ToggleArg(Edit7->Text()));
}
void TForm1::Button23Click() {
  if (!Ready()) return;
  OptionCommand(*this, "OY" + link::FormatSignedArg(Edit8->Text()));
}
void TForm1::Button24Click() {
  if (!Ready()) return;
  OptionCommand(*this, "OZ" + link::FormatSignedArg(Edit11->Text()));
}

// LCD and DR commands are fixed texts: Edit11 has no part in them.
namespace {
void FixedCommand(TForm1& f, const char* command, bool status) {
  f.Memo1->Clear();
  if (status) {
    f.SendWithStatus(command);
  } else {
    f.SerialPort1->SetOpen(true);
    f.Send(command);
  }
}
}  // namespace

void TForm1::Button25Click() {
  if (Ready()) FixedCommand(*this, "q7", false);
}
void TForm1::Button31Click() {
  if (Ready()) FixedCommand(*this, "q8", false);
}
void TForm1::Button32Click() {
  if (Ready()) FixedCommand(*this, "q9", false);
}
void TForm1::Button33Click() {
  if (Ready()) FixedCommand(*this, "q5", true);
}
void TForm1::Button34Click() {
  if (Ready()) FixedCommand(*this, "q1", true);
}
void TForm1::Label36Click() {
  if (Ready()) FixedCommand(*this, "e", false);
}
void TForm1::Button35Click() {
  if (Ready()) FixedCommand(*this, "b0", true);
}
void TForm1::Button36Click() {
  if (Ready()) FixedCommand(*this, "b1", true);
}

void TForm1::Button48Click() {
  if (!Ready()) return;
  OptionCommand(*this, "L" + link::FormatSignedArg(Edit14->Text()));
}

void TForm1::Button49Click() {
  Memo1->Clear();
  SerialPort1->SetOpen(true);
  Send("W");
  Timer1->SetInterval(3000);
}

void TForm1::Button50Click() {
  if (Ready()) SendWithStatus("FX" + ui::TrimRight(Edit15->Text()));
}
void TForm1::Button51Click() {
  if (Ready()) SendWithStatus("FY" + ui::TrimRight(Edit16->Text()));
}
void TForm1::Button52Click() {
  if (Ready()) SendWithStatus("FZ" + ui::TrimRight(Edit17->Text()));
}

void TForm1::Label17DblClick() {
  dialogs::Form3->Show();
}

}  // namespace dorv::app
