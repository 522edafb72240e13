#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>

#include "app/program.h"
#include "tools/dorv_cli.h"
#include "tools/dorv_values.h"
#include "ui/application.h"
#include "ui/headless_modals.h"
#include "ui/text.h"

namespace dorv::cli {

using namespace std::chrono_literals;

const char kUsage[] =
    "usage: dorv list [--json]\n"
    "       dorv info [--port P] [--json]\n"
    "       dorv download [--port P] [-o FILE] [--format legacy|export]\n"
    "       dorv download --all -o DIR [--format legacy|export]\n"
    "       dorv set NAME VALUE [--port P] [--json]\n"
    "       dorv start|stop [--port P] [--json]\n"
    "       dorv reserve \"yyyy/mm/dd hh:mm\" [--port P] [--json]\n"
    "       dorv monitor [--port P] [--count N] [--json]\n"
    "       dorv burst SECONDS -o FILE [--port P]\n"
    "       dorv COMMAND --help | dorv --help | dorv --version\n"
    "P is a port name such as COM7 or a device path. Exit status: 0 done,\n"
    "1 a logger or file failure, 2 usage.\n";

namespace {

// Said after every command that changes the logger.
const char kReadBack[] =
    "The logger's status is read back afterwards and printed as `dorv info`\n"
    "prints it (--json: one JSON object). Exit status 1 when the logger does\n"
    "not hold what was asked.\n";

std::string SetHelp() {
  std::string text =
      "usage: dorv set NAME VALUE [--port P] [--json]\n"
      "Changes one of the logger's settings as the window's control for it\n"
      "does. NAME and VALUE:\n";
  for (auto& s : Settings()) {
    char line[160];
    std::snprintf(line, sizeof line, "  %-10s %s: %s\n", s.name.c_str(), s.what.c_str(),
                  AllowedValues(s).c_str());
    text += line;
  }
  return text + "A setting that already has the value sends nothing.\n" + kReadBack;
}

}  // namespace

std::string CommandHelp(const std::string& command) {
  static const std::map<std::string, std::string> help = {
      {"list",
       "usage: dorv list [--json]\n"
       "Lists every logger and generic FTDI converter found: port name, device\n"
       "path, USB serial number and kind (logger or converter), one a line, or\n"
       "as a JSON array with --json.\n"},
      {"info",
       "usage: dorv info [--port P] [--json]\n"
       "Connects to the logger (the one found, or the one on port P) and prints\n"
       "what the window shows after connecting: unit number, year, record\n"
       "interval, sampling, threshold, record count, recording mode and the\n"
       "reserved start; as a JSON object with --json.\n"},
      {"download",
       "usage: dorv download [--port P] [-o FILE] [--format legacy|export]\n"
       "       dorv download --all -o DIR [--format legacy|export]\n"
       "Downloads the logger's records as the window's 取得 does and saves them\n"
       "as its 保存 does (default file DORV<unit number>.csv). --all reads every\n"
       "logger found at once, each into DIR/<serial>-<yyyymmdd-hhmmss>.csv, and\n"
       "prints one line per finished file; a logger that fails does not stop\n"
       "the others. --format export writes the window's エクスポート instead: a\n"
       "UTF-8 CSV with named columns, ISO 8601 times and values in G, and a JSON\n"
       "file of the logger beside it (default file DORV<unit number>-export.csv).\n"},
      {"set", SetHelp()},
      {"start", std::string("usage: dorv start [--port P] [--json]\n"
                            "Starts a new recording now, as the window's recording mode\n"
                            "今すぐ開始 does: the PC clock goes to the logger first.\n") +
                    kReadBack},
      {"stop", std::string("usage: dorv stop [--port P] [--json]\n"
                           "Puts the logger to sleep (recording mode Sleep). A logger given\n"
                           "a reservation since its last start waits for it instead.\n") +
                   kReadBack},
      {"reserve",
       std::string("usage: dorv reserve \"yyyy/mm/dd hh:mm\" [--port P] [--json]\n"
                   "Sets the PC clock on the logger and makes it start recording at the\n"
                   "given local time, through the window's reservation dialog (予約開始).\n"
                   "The time must exist, lie after the current minute and less than a\n"
                   "year ahead; what the dialog says about it goes to standard error.\n") +
           kReadBack},
      {"monitor",
       "usage: dorv monitor [--port P] [--count N] [--json]\n"
       "Shows the live values as the window's モニタ does, one line per answer:\n"
       "PC time, X, Y, Z (raw counts) and temperature; with --json one JSON\n"
       "object a line. Runs until N lines are printed, or until interrupted.\n"},
      {"burst",
       "usage: dorv burst SECONDS -o FILE [--port P]\n"
       "Takes the 5 ms burst of the window's 5ms button for SECONDS (5 to 360)\n"
       "and saves its document as 保存 does. A burst that breaks off is a\n"
       "failure and writes no file.\n"},
  };
  auto it = help.find(command);
  return it == help.end() ? std::string() : it->second;
}

int Usage(const std::string& why) {
  if (!why.empty()) std::cerr << "dorv: " << why << "\n";
  std::cerr << kUsage;
  return 2;
}

int Failure(const std::string& why) {
  std::cerr << "dorv: " << why << "\n";
  return 1;
}

std::vector<SerialDeviceInfo> FoundPorts() {
  std::vector<SerialDeviceInfo> out;
  for (auto& d : platform::ListSerialDevices())
    if (platform::SerialDeviceKind(d.identity) != "other") out.push_back(d);
  return out;
}

std::string Kind(const SerialDeviceInfo& d) {
  return platform::SerialDeviceKind(d.identity);
}

bool ChoosePort(const std::string& wanted, SerialDeviceInfo& chosen, int& code) {
  auto ports = FoundPorts();
  if (!wanted.empty()) {
    for (auto& d : ports)
      if (platform::SerialDeviceMatches(d, wanted)) {
        chosen = d;
        return true;
      }
    code = Failure("no logger or converter on port " + wanted);
    return false;
  }
  std::vector<SerialDeviceInfo> loggers;
  for (auto& d : ports)
    if (Kind(d) == "logger") loggers.push_back(d);
  if (loggers.empty()) {
    code = Failure("no logger found");
    return false;
  }
  if (loggers.size() > 1) {
    std::string names;
    for (auto& d : loggers) names += "\n  " + d.portName + "  " + d.device;
    code = Usage("more than one logger found; choose one with --port:" + names);
    return false;
  }
  chosen = loggers.front();
  return true;
}

// How long the forms may take to connect.
constexpr auto kConnectLimit = 15s;

// The window's connection ends with an answer still on the wire: the
// wake-up goes out twice and each answer asks for the status, so the
// exchange is over at the first status answer's prompt while the second
// streams in (about 35 ms at 115200 baud). A person takes longer than that
// before the next click; the command line waits this long after every
// exchange, so that the tail of an old answer is not read as the start of
// the next one (a download would take it for records).
constexpr auto kLineSettle = 250ms;

bool Quiet(app::TForm1& f) {
  return f.Timer1->Interval() != 0 && f.LoggerAwake == 1 && f.FirstQueryPending == 0 &&
         f.PendingCmd1.Empty() && f.PendingCmd2.Empty() && f.PendingCmd3.Empty() &&
         f.SerialPort1->PortPhase() == serial::TPortPhase::ppClosed;
}

int WithConnectedForms(const SerialDeviceInfo& port, const std::function<int(app::TForm1&)>& work) {
  platform::RestrictSerialDevices(port.portName);
  app::ProgramHooks hooks;
  hooks.singleInstance = false;
  hooks.run = [&](ui::TApplication& app) {
    auto& modals = static_cast<ui::HeadlessModals&>(app.Modals());
    modals.SetAnswerDelay(0ms);
    auto& form = *app::Form1;
    // A generic converter is a logger's port only while FTDI is ticked.
    if (Kind(port) == "converter" && !form.CheckBox1->Checked()) form.CheckBox1->UserClick();
    // Connected once the logger answered, its status came and the exchange
    // is over: the port has closed again, completely (an exchange begun
    // while the close is still under way would lose its command).
    bool connected = app.Loop().RunUntil(
        [&] {
          // A port that cannot be opened (in use, no permission) is said at
          // once; the window would only try again at every tick.
          return (!modals.Messages().empty() && form.LoggerReady != 1) ||
                 (form.LoggerReady == 1 && form.Timer1->Interval() == 1000 &&
                  form.SerialPort1->PortPhase() == serial::TPortPhase::ppClosed);
        },
        kConnectLimit);
    if (!connected || form.LoggerReady != 1) {
      std::string why = port.portName + " (" + port.device + "): no connection to the logger";
      for (auto& m : modals.Messages()) why += "\n  " + m;
      return Failure(why);
    }
    if (!WaitForQuiet(form))
      return Failure(port.portName + ": the logger did not finish answering");
    // What the window said while connecting (a count it doubts) is passed on.
    for (auto& m : TakeMessages()) std::cerr << "dorv: " << port.portName << ": " << m << "\n";
    // What a handler raises is a failure of the command (the program's own
    // exception display would end it with status 0).
    try {
      return work(form);
    } catch (const std::exception& e) {
      return Failure(port.portName + ": " + e.what());
    }
  };
  return app::RunProgram(hooks);
}

int OnChosenLogger(const std::string& wanted,
                   const std::function<int(const SerialDeviceInfo&, app::TForm1&)>& work) {
  SerialDeviceInfo port;
  int code = 0;
  if (!ChoosePort(wanted, port, code)) return code;
  return WithConnectedForms(port, [&](app::TForm1& f) { return work(port, f); });
}

bool WaitForQuiet(app::TForm1& f, std::chrono::milliseconds limit) {
  auto& loop = ui::Application()->Loop();
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !loop.RunUntil([&] { return Quiet(f); }, left)) return false;
    // Quiet through the settling time too: nothing began meanwhile.
    if (!loop.RunUntil([&] { return !Quiet(f); }, kLineSettle)) return true;
  }
}

bool ReadStatusAgain(app::TForm1& f) {
  if (!WaitForQuiet(f)) return false;
  f.Button4->UserClick();
  return WaitForQuiet(f) && f.LoggerReady == 1;
}

std::string Trimmed(const std::string& s) {
  size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

Fields StatusFields(const SerialDeviceInfo& port, app::TForm1& f) {
  // The displays as the status exchange left them.
  return {
      {"port", port.portName},
      {"device", port.device},
      {"serial", platform::UsbSerialNumber(port.identity)},
      {"model", f.ComboBox5->Text()},
      {"unit", Trimmed(f.Label18->Caption())},
      {"year", Trimmed(f.Label15->Caption())},
      {"interval", f.ComboBox2->Text()},
      {"sampling", f.ComboBox3->Text()},
      {"threshold", f.ComboBox1->Text()},
      {"records", Trimmed(f.Label13->Caption())},
      {"mode", f.ComboBox4->Text()},
      {"reserved_start", f.Label25->Caption()},
  };
}

void PrintFields(const Fields& fields, bool json) {
  if (json) {
    nlohmann::ordered_json obj = nlohmann::ordered_json::object();
    for (auto& [k, v] : fields) obj[k] = v;
    std::cout << obj.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  } else {
    for (auto& [k, v] : fields) std::cout << k << ": " << v << "\n";
  }
}

std::vector<std::string> TakeMessages() {
  auto& modals = static_cast<ui::HeadlessModals&>(ui::Application()->Modals());
  std::vector<std::string> out = modals.Messages();
  modals.Clear();
  return out;
}

std::string ProgressText(const std::string& port, int done, int total, double seconds,
                         const char* unit) {
  char text[160];
  double rate = seconds > 0.2 ? done / seconds : 0;
  const std::string rateUnit = std::string(unit) == "records" ? "rec" : unit;
  if (rate > 0 && total > done)
    std::snprintf(text, sizeof text, "%-7s %7d/%d %s  %5.0f %s/s  %4.0f s left", port.c_str(), done,
                  total, unit, rate, rateUnit.c_str(), (total - done) / rate);
  else
    std::snprintf(text, sizeof text, "%-7s %7d/%d %s", port.c_str(), done, total, unit);
  return text;
}

Progress::Progress() {
  if (const char* e = std::getenv("DORV_PROGRESS_FD"))
    fd_ = std::atoi(e);
  else
    terminal_ = isatty(2) != 0;
}

void Progress::Report(const std::string& port, int done, int total, double seconds,
                      const char* unit) {
  if (fd_ >= 0) {
    std::string line = port + " " + std::to_string(done) + " " + std::to_string(total) + "\n";
    (void)!write(fd_, line.data(), line.size());
  } else if (terminal_) {
    std::cerr << "\r" << ProgressText(port, done, total, seconds, unit) << "\x1b[K" << std::flush;
    shown_ = true;
  }
}

void Progress::Clear() {
  if (shown_) std::cerr << "\r\x1b[K" << std::flush;
  shown_ = false;
}

void Progress::Done(const std::string& line) {
  if (fd_ >= 0) {
    std::string text = "= " + line + "\n";
    (void)!write(fd_, text.data(), text.size());
  } else {
    std::cout << line << "\n";
  }
}

}  // namespace dorv::cli
