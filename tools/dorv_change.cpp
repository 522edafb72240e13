// The commands that change the logger: set, start, stop and reserve. Each
// works the window's own control for the change, waits for the exchange to
// end, reads the status back and prints it.
#include <ctime>
#include <iostream>
#include <map>

#include "dialogs/device_id_dialog.h"
#include "dialogs/reservation_dialog.h"
#include "dialogs/wait_option_dialog.h"
#include "tools/dorv_cli.h"
#include "tools/dorv_values.h"
#include "ui/text.h"

namespace dorv::cli {

namespace {

// How the window shows a setting and how a user changes it there.
struct SettingControl {
  std::function<std::string(app::TForm1&)> shown;
  std::function<void(app::TForm1&, const std::string&)> change;
};

SettingControl Choice(ui::TComboBox* app::TForm1::*box) {
  return {[box](app::TForm1& f) { return (f.*box)->Text(); },
          [box](app::TForm1& f, const std::string& v) { (f.*box)->UserChoose(v); }};
}

// An option edit box and its button: type the value, click.
SettingControl Typed(ui::TEdit* app::TForm1::*edit, ui::TButton* app::TForm1::*button) {
  return {[edit](app::TForm1& f) { return Trimmed((f.*edit)->Text()); },
          [edit, button](app::TForm1& f, const std::string& v) {
            (f.*edit)->UserType(v);
            (f.*button)->UserClick();
          }};
}

// A toggle: its edit box shows ON or OFF, its button switches to the other.
SettingControl Toggle(ui::TEdit* app::TForm1::*edit, ui::TButton* app::TForm1::*button) {
  return {[edit](app::TForm1& f) { return ui::Trim((f.*edit)->Text()) == "ON" ? "on" : "off"; },
          [button](app::TForm1& f, const std::string&) { (f.*button)->UserClick(); }};
}

// A two-digit dialog (device ID, wait option): type into its edit, OK.
template <class Dialog>
void DialogSetting(Dialog* dialog, const std::string& v) {
  dialog->Edit1->UserType(v);
  dialog->Button1->UserClick();
}

const std::map<std::string, SettingControl>& Controls() {
  using F = app::TForm1;
  static const std::map<std::string, SettingControl> controls = {
      {"interval", Choice(&F::ComboBox2)},
      {"sampling", Choice(&F::ComboBox3)},
      {"threshold", Choice(&F::ComboBox1)},
      {"model", Choice(&F::ComboBox5)},
      {"detection",
       {[](F& f) { return f.CheckBox2State == 1 ? "on" : "off"; },
        [](F& f, const std::string&) { f.CheckBox2->UserClick(); }}},
      // The label shows the buzzer's state; a double click switches it.
      {"buzzer",
       {[](F& f) {
          const std::string& c = f.Label19->Caption();
          return c == "BZ-ON" ? "on" : c == "BZ-OFF" ? "off" : c;
        },
        [](F& f, const std::string&) { f.Label19->UserDblClick(); }}},
      {"unit",
       {[](F& f) { return Trimmed(f.Label18->Caption()); },
        [](F& f, const std::string& v) {
          f.Label17->UserDblClick();
          DialogSetting(dialogs::Form3, v);
        }}},
      {"wait",
       {[](F& f) { return Trimmed(f.Label31->Caption()); },
        [](F& f, const std::string& v) {
          f.Label30->UserClick();
          DialogSetting(dialogs::Form6, v);
        }}},
      {"hazard", Typed(&F::Edit1, &F::Button18)},
      {"gravity", Toggle(&F::Edit2, &F::Button19)},
      {"endless", Toggle(&F::Edit6, &F::Button20)},
      {"100hz", Toggle(&F::Edit7, &F::Button21)},
      {"display", Typed(&F::Edit8, &F::Button23)},
      {"df", Typed(&F::Edit11, &F::Button24)},
      {"low-temp", Typed(&F::Edit14, &F::Button48)},
  };
  return controls;
}

// Whether the shown value is the one asked for (numbers as numbers: the
// window shows " 03" or "-03" where the command line says 3 or -3).
bool Holds(const SettingInfo& s, const std::string& shown, const std::string& wanted) {
  if (s.kind == ValueKind::Signed || s.kind == ValueKind::TwoDigit) {
    int a = 0, b = 0;
    return ui::TryStrToInt(Trimmed(shown), a) && ui::TryStrToInt(wanted, b) && a == b;
  }
  return shown == wanted;
}

void PassOnMessages(const SerialDeviceInfo& port, const std::string& what) {
  for (auto& m : TakeMessages())
    std::cerr << "dorv: " << port.portName << ": " << what << m << "\n";
}

// The logger's answer to "t" (its clock, and a reservation it waits for),
// asked for as the window's 予約日時 label does.
std::string LoggerClock(app::TForm1& f) {
  const int before = f.Memo1->Count();
  f.Label26->UserDblClick();
  if (!WaitForQuiet(f)) return {};
  std::string text;
  for (int i = before; i < f.Memo1->Count(); ++i) {
    std::string line = Trimmed(ui::Cp932ToUtf8(f.Memo1->Line(i)));
    if (!line.empty()) text += (text.empty() ? "" : "; ") + line;
  }
  return text;
}

// After a recording command: the status and the clock read back, printed;
// status 1 when the logger's mode is not the one expected.
int ReportRecording(const SerialDeviceInfo& port, app::TForm1& f, bool json, bool sleeping,
                    const std::string& what) {
  if (!WaitForQuiet(f) || !ReadStatusAgain(f))
    return Failure(port.portName + ": the logger did not answer after " + what);
  Fields fields = StatusFields(port, f);
  fields.emplace_back("clock", LoggerClock(f));
  PassOnMessages(port, "");
  PrintFields(fields, json);
  const std::string& mode = f.ComboBox4->Text();
  if ((mode == "Sleep") != sleeping)
    return Failure(port.portName + ": " + what + " not taken: the logger's mode is " + mode);
  return 0;
}

}  // namespace

int Set(const Invocation& inv) {
  const std::string& name = inv.words[0];
  const SettingInfo* setting = FindSetting(name);
  if (!setting) {
    std::string names;
    for (auto& s : Settings()) names += " " + s.name;
    return Usage("set: no setting " + name + "; settings:" + names);
  }
  std::string wanted, error;
  if (!NormaliseSetting(*setting, inv.words[1], wanted, error)) return Usage("set: " + error);
  const SettingControl& control = Controls().at(name);
  return OnChosenLogger(inv.port, [&](const SerialDeviceInfo& port, app::TForm1& f) {
    if (!Holds(*setting, control.shown(f), wanted)) {
      control.change(f, wanted);
      if (!WaitForQuiet(f))
        return Failure(port.portName + ": the logger did not answer the change of " + name);
    }
    // The status request after the change normally shows it. An answer
    // still under way from the connection (a logger that reports detection
    // on gets "k1" again as the window connects) can end that exchange
    // early; the status is then read anew before anything is concluded.
    if (!Holds(*setting, control.shown(f), wanted) && !ReadStatusAgain(f))
      return Failure(port.portName + ": the logger did not answer after the change of " + name);
    PassOnMessages(port, "");
    Fields fields = StatusFields(port, f);
    const std::string shown = control.shown(f);
    bool listed = false;
    for (auto& [k, v] : fields) listed = listed || k == name;
    if (!listed) fields.emplace_back(name, shown);
    PrintFields(fields, inv.json);
    if (!Holds(*setting, shown, wanted))
      return Failure(port.portName + ": the logger holds " + name + " " + shown + ", not " +
                     wanted);
    return 0;
  });
}

int Recording(const Invocation& inv) {
  const bool start = inv.command == "start";
  return OnChosenLogger(inv.port, [&](const SerialDeviceInfo& port, app::TForm1& f) {
    // The recording mode box: start now sends the PC clock first.
    f.ComboBox4->UserChoose(start ? "今すぐ開始" : "Sleep");
    return ReportRecording(port, f, inv.json, !start, inv.command);
  });
}

int Reserve(const Invocation& inv) {
  std::string wanted, error;
  if (!ParseReservation(inv.words[0], std::time(nullptr), wanted, error))
    return Usage("reserve: " + error);
  return OnChosenLogger(inv.port, [&](const SerialDeviceInfo& port, app::TForm1& f) {
    // The time goes in through the reservation dialog, opened from its
    // label, with its checks; then the recording mode box starts with it.
    f.Label25->UserDblClick();
    dialogs::TForm5& dialog = *dialogs::Form5;
    dialog.ComboBox1->UserChoose(wanted.substr(0, 2));
    dialog.ComboBox2->UserChoose(wanted.substr(3, 2));
    dialog.ComboBox3->UserChoose(wanted.substr(6, 2));
    dialog.ComboBox4->UserChoose(wanted.substr(9, 2));
    dialog.Button1->UserClick();
    PassOnMessages(port, "予約時間: ");
    if (f.ReserveTimeText != wanted || f.ReserveState != 1)
      return Failure(port.portName + ": the reservation dialog did not take " + wanted);
    f.ComboBox4->UserChoose("予約開始");
    return ReportRecording(port, f, inv.json, false, "reserve");
  });
}

}  // namespace dorv::cli
