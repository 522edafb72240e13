// The periodic tick of the main window: the port search, the connection and
// the periodic duties; and the connect and Device Manager buttons.
#include <cctype>

#include "app/main_window.h"
#include "platform/shell.h"
#include "serial/serial_port.h"
#include "ui/application.h"
#include "ui/text.h"

namespace dorv::app {

namespace {

// The port number of a port text such as "COM7": the digits after the
// three-character prefix up to the first other character, at most five;
// none, or a number beyond the port numbers that exist, gives 0.
unsigned short PortNumberOf(const std::string& text) {
  long n = 0;
  for (size_t i = 3, k = 0;
       i < text.size() && k < 5 && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++k)
    n = n * 10 + (text[i] - '0');
  return n > 65535 ? 0 : static_cast<unsigned short>(n);
}

}  // namespace

void TForm1::Timer1Timer() {
  // Stop the timer for the length of the tick; show the interval in force.
  int interval = Timer1->Interval();
  Timer1->SetInterval(0);
  Edit9->SetText(std::to_string(interval));
  // The PC clock.
  NowStamp = ui::Application()->Now();
  NowText = ui::FormatYmdHms(NowStamp);
  // A deferred wake-up that is due: send it and wait for the answer with
  // the timer stopped (the reply parser restarts it).
  if (WakePending == 1 && NowStamp >= WakeAt) {
    SerialPort1->SetOpen(true);
    Send("m");
    WakePending = 0;
    return;
  }
  // The clock shows; the port closes for the search, which may pick
  // another one.
  Label6->SetCaption(NowText);
  SerialPort1->SetOpen(false);
  // The serial-port map. The controls are touched only when what was
  // found changed: each takes its end value once, rather than passing
  // through the search's intermediate values every tick.
  bool anyVcp = false;
  std::vector<std::string> names;
  if (Registry->OpenKeyReadOnly(platform::kSerialCommKey)) names = Registry->GetValueNames();
  if (ListBox1->Items() != names) ListBox1->SetItems(names);
  for (auto& n : names)
    if (n.find("VCP") != std::string::npos) anyVcp = true;
  bool found = false;
  std::string deviceWord;  // Edit5: the word of the last device key read
  if (anyVcp && !names.empty()) {
    // Candidates: the port names of the "VCP" devices.
    std::string searching = "Serching D-ORV";
    std::vector<std::string> ports;
    for (auto& n : names) {
      if (n.find("VCP") == std::string::npos) continue;
      ports.push_back(Registry->ReadString(n));
    }
    Registry->CloseKey();
    Edit4->SetText(ports.back());
    if (ListBox2->Items() != ports) ListBox2->SetItems(std::move(ports));
    int last = static_cast<int>(ListBox2->Items().size()) - 1;
    if (UpDown1->Max() != last) UpDown1->SetMax(last);
    // The logger's own device key.
    auto tryKey = [&](const char* identity, const char* word) {
      if (!Registry->OpenKeyReadOnly(platform::DeviceKeyPath(identity))) return;
      std::string portName = Registry->ReadString("PortName");
      Registry->CloseKey();
      for (auto& port : ListBox2->Items())
        if (port == portName) {
          found = true;
          Edit3->SetText(portName);
        }
      deviceWord = word;
    };
    tryKey(platform::kLoggerIdentity, "DORV");
    // A generic converter, only when asked for.
    if (!found && CheckBox1->Checked()) {
      searching = "Serching FTDI";
      tryKey(platform::kGenericFtdiIdentity, "FTDI");
    }
    Edit5->SetText(deviceWord);
    if (!found) {
      // Ports, but not the logger's.
      SetCaption(searching + TitleSuffix);
      Image4->Show();
      Image5->Hide();
      Button45->Hide();
      SerialPort1->SetOpen(false);
      AutoConnectDone = 0;
      if (Monitoring == 1) {
        Button10Click();
        LoggerReady = 0;
        MonitorRequestOpen = 0;
        LoggerAwake = 0;
      }
    } else {
      // Found: connect once. A logger found on another port than the
      // one connected was plugged in while an exchange kept the tick away
      // (no tick saw it gone): it is connected anew.
      SetCaption("D-ORV" + TitleSuffix);
      if (PortNumberOf(Edit3->Text()) != SerialPort1->ComNumber()) AutoConnectDone = 0;
      if (PortNumberOf(Edit3->Text()) == 0) {
        // A port name no port can be opened by: connecting would open the
        // port chooser, which the tick never does unasked.
        Timer1->SetInterval(interval);
        return;
      }
      if (AutoConnectDone == 0) {
        try {
          Button4Click();
          AutoConnectDone = 1;
          lastConnectError_.clear();
        } catch (const std::exception& e) {
          // The port could not be opened: keep the tick running so that it
          // tries again, and show the same failure only once.
          Timer1->SetInterval(interval);
          if (e.what() != lastConnectError_) {
            lastConnectError_ = e.what();
            ui::Application()->ShowException(e);
          }
          return;
        }
      }
      if (LoggerAwake == 0) return;  // the parser restarts the timer at the answer
      // Periodic duties while the logger is awake.
      if (Monitoring == 0 && MonitorStartPending == 1 && MonitorRequestOpen == 0) {
        SerialPort1->SetOpen(true);
        Send("p");
        MonitorStartPending = 0;
      }
      if (Monitoring == 1) {
        if (MonitorExtraCmd.Empty() && MonitorRequestOpen == 0) {
          Memo1->Clear();
          SerialPort1->SetOpen(true);
          while (SerialPort1->CharReady()) SerialPort1->GetChar();
          Send("n");
          MonitorRequestOpen = 1;
          Label23->SetCaption("4");
        } else if (MonitorRequestOpen == 0) {
          Send(MonitorExtraCmd.Str());
          MonitorExtraCmd.Clear();
        }
      }
      if (Monitoring == 0 && TickSendPos != -1) {
        if (!SerialPort1->Open()) SerialPort1->SetOpen(true);
        Send(std::string(1, TickSendQueue[TickSendPos]));
        ++TickSendPos;
        if (TickSendPos > 4 || TickSendQueue[TickSendPos] == '\0') TickSendPos = -1;
      }
    }
  } else {
    Edit5->SetText("");
    if (!names.empty()) Registry->CloseKey();
    // No port at all.
    SetCaption("Can't find a DORV" + TitleSuffix);
    Edit3->SetText("No Port");
    Button4->SetCaption("接<->続");
    Image4->Show();
    Image5->Hide();
    Button45->Hide();
    AutoConnectDone = 0;
    SerialPort1->SetOpen(false);
    LoggerReady = 0;
    if (Monitoring == 1) Button10Click();
  }
  // Run again at the remembered interval.
  Timer1->SetInterval(interval);
}

void TForm1::Button4Click() {
  // The port number after the three-character prefix ("COM"); 0 makes
  // the port chooser ask.
  // Re-open on that port with nothing old in the input.
  SerialPort1->SetComNumber(PortNumberOf(Edit3->Text()));
  SerialPort1->SetOpen(false);
  SerialPort1->SetOpen(true);
  SerialPort1->FlushInBuffer();
  // The wake-up.
  Button4->SetCaption("|=|");
  Send("m");
  FirstQueryPending = 1;
  // Until the logger answers, the window shows it as not connected.
  Image4->Show();
  Image5->Hide();
  Button45->Hide();
  LoggerAwake = 0;
}

void TForm1::Button13Click() {
  platform::OpenDeviceManager();
}

}  // namespace dorv::app
