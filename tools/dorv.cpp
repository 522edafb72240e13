// dorv: the command line of the utility. It finds loggers with the window's
// port search and runs the window's own forms headless in this process for
// every exchange, so that what it reads and saves is what the window would.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "app/logger_identity.h"
#include "app/program.h"
#include "app/unit1.h"
#include "dorv_version.h"
#include "operations/csv_file.h"
#include "operations/export_csv.h"
#include "platform/registry.h"
#include "ui/headless_modals.h"
#include "ui/text.h"

extern char** environ;

namespace {

using dorv::platform::SerialDeviceInfo;
using namespace std::chrono_literals;

const char kUsage[] =
    "usage: dorv list [--json]\n"
    "       dorv info [--port P] [--json]\n"
    "       dorv download [--port P] [-o FILE] [--format legacy|export]\n"
    "       dorv download --all -o DIR [--format legacy|export]\n"
    "       dorv COMMAND --help | dorv --help | dorv --version\n"
    "P is a port name such as COM7 or a device path. Exit status: 0 done,\n"
    "1 a logger or file failure, 2 usage.\n";

const std::map<std::string, std::string> kCommandHelp = {
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
};

// How long the forms may take to connect, and a download at most (the
// reply watchdog ends an exchange the logger stops answering long before).
constexpr auto kConnectLimit = 15s;
constexpr auto kDownloadLimit = 30min;

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
  for (auto& d : dorv::platform::ListSerialDevices())
    if (dorv::platform::SerialDeviceKind(d.identity) != "other") out.push_back(d);
  return out;
}

std::string Kind(const SerialDeviceInfo& d) {
  return dorv::platform::SerialDeviceKind(d.identity);
}

int List(bool json) {
  auto ports = FoundPorts();
  if (json) {
    auto arr = nlohmann::ordered_json::array();
    for (auto& d : ports)
      arr.push_back({{"port", d.portName},
                     {"device", d.device},
                     {"serial", dorv::platform::UsbSerialNumber(d.identity)},
                     {"identity", d.identity},
                     {"kind", Kind(d)},
                     {"simulated", d.registered}});
    std::cout << arr.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    return 0;
  }
  for (auto& d : ports)
    std::cout << d.portName << "\t" << d.device << "\t"
              << dorv::platform::UsbSerialNumber(d.identity) << "\t" << Kind(d) << "\n";
  return 0;
}

// The one port a command serves: the one named by --port, else the one
// logger found. Sets code (1 nothing there, 2 more than one) when none.
bool ChoosePort(const std::string& wanted, SerialDeviceInfo& chosen, int& code) {
  auto ports = FoundPorts();
  if (!wanted.empty()) {
    for (auto& d : ports)
      if (dorv::platform::SerialDeviceMatches(d, wanted)) {
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

// Runs the window's forms headless on one port: the port search sees only
// that port, the window connects as it does on its own, then work runs.
int WithConnectedForms(const SerialDeviceInfo& port,
                       const std::function<int(dorv::app::TForm1&)>& work) {
  dorv::platform::RestrictSerialDevices(port.portName);
  dorv::app::ProgramHooks hooks;
  hooks.singleInstance = false;
  hooks.run = [&](dorv::ui::TApplication& app) {
    auto& modals = static_cast<dorv::ui::HeadlessModals&>(app.Modals());
    modals.SetAnswerDelay(0ms);
    auto& form = *dorv::app::Form1;
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
                  form.SerialPort1->PortPhase() == dorv::serial::TPortPhase::ppClosed);
        },
        kConnectLimit);
    if (!connected || form.LoggerReady != 1) {
      std::string why = port.portName + " (" + port.device + "): no connection to the logger";
      for (auto& m : modals.Messages()) why += "\n  " + m;
      return Failure(why);
    }
    // What the window said while connecting (a count it doubts) is passed on.
    for (auto& m : modals.Messages()) std::cerr << "dorv: " << port.portName << ": " << m << "\n";
    modals.Clear();
    // What a handler raises is a failure of the command (the program's own
    // exception display would end it with status 0).
    try {
      return work(form);
    } catch (const std::exception& e) {
      return Failure(port.portName + ": " + e.what());
    }
  };
  return dorv::app::RunProgram(hooks);
}

std::string Trimmed(const std::string& s) {
  size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

int Info(const std::string& wanted, bool json) {
  SerialDeviceInfo port;
  int code = 0;
  if (!ChoosePort(wanted, port, code)) return code;
  return WithConnectedForms(port, [&](dorv::app::TForm1& f) {
    // The displays as the status exchange left them (texts in UTF-8).
    std::vector<std::pair<std::string, std::string>> fields = {
        {"port", port.portName},
        {"device", port.device},
        {"serial", dorv::platform::UsbSerialNumber(port.identity)},
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
    if (json) {
      nlohmann::ordered_json obj = nlohmann::ordered_json::object();
      for (auto& [k, v] : fields) obj[k] = v;
      std::cout << obj.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    } else {
      for (auto& [k, v] : fields) std::cout << k << ": " << v << "\n";
    }
    return 0;
  });
}

// "COM7  1200/2000 records  410 rec/s  2 s left": a download under way.
std::string ProgressText(const std::string& port, int records, int total, double seconds) {
  char text[160];
  double rate = seconds > 0.2 ? records / seconds : 0;
  if (rate > 0 && total > records)
    std::snprintf(text, sizeof text, "%-7s %7d/%d records  %5.0f rec/s  %4.0f s left", port.c_str(),
                  records, total, rate, (total - records) / rate);
  else
    std::snprintf(text, sizeof text, "%-7s %7d/%d records", port.c_str(), records, total);
  return text;
}

// Where a download's progress goes: the --all parent's pipe (its descriptor
// in DORV_PROGRESS_FD), else standard error when that is a terminal.
struct Progress {
  int fd = -1;
  bool terminal = false;
  bool shown = false;
  Progress() {
    if (const char* e = std::getenv("DORV_PROGRESS_FD"))
      fd = std::atoi(e);
    else
      terminal = isatty(2) != 0;
  }
  void Report(const std::string& port, int records, int total, double seconds) {
    if (fd >= 0) {
      std::string line = port + " " + std::to_string(records) + " " + std::to_string(total) + "\n";
      (void)!write(fd, line.data(), line.size());
    } else if (terminal) {
      std::cerr << "\r" << ProgressText(port, records, total, seconds) << "\x1b[K" << std::flush;
      shown = true;
    }
  }
  void Clear() {
    if (shown) std::cerr << "\r\x1b[K" << std::flush;
    shown = false;
  }
  // The line of a finished file: to the parent, which shows it in its place.
  void Done(const std::string& line) {
    if (fd >= 0) {
      std::string text = "= " + line + "\n";
      (void)!write(fd, text.data(), text.size());
    } else {
      std::cout << line << "\n";
    }
  }
};

int DownloadOne(const std::string& wanted, std::string out, const std::string& format) {
  SerialDeviceInfo port;
  int code = 0;
  if (!ChoosePort(wanted, port, code)) return code;
  return WithConnectedForms(port, [&](dorv::app::TForm1& f) {
    auto& app = *dorv::ui::Application();
    auto& modals = static_cast<dorv::ui::HeadlessModals&>(app.Modals());
    if (!f.Button30->Enabled() || !f.Button30->Visible())
      return Failure(port.portName + ": the window offers no download now");
    // The count the logger announced at connecting; the download counts
    // anew.
    const int announced = f.DataCount;
    f.Button30->UserClick();
    Progress progress;
    const auto start = std::chrono::steady_clock::now();
    auto shown = start;
    bool ended = app.Loop().RunUntil(
        [&] {
          if (f.Downloading == 0) return true;
          auto now = std::chrono::steady_clock::now();
          if (now - shown >= 250ms) {
            shown = now;
            progress.Report(port.portName, f.DataCount, announced,
                            std::chrono::duration<double>(now - start).count());
          }
          return false;
        },
        kDownloadLimit);
    progress.Clear();
    if (!ended) return Failure(port.portName + ": the download did not end");
    // What the logger announced must have arrived; a download the reply
    // watchdog or a lost line ended is a failure, not a shorter file.
    bool complete = f.RecordCount >= announced;
    std::string notes;
    for (auto& m : modals.Messages()) notes += "\n  " + m;
    if (!complete)
      return Failure(port.portName + ": download incomplete: " + std::to_string(f.RecordCount) +
                     " of " + std::to_string(announced) + " records" + notes);
    if (!notes.empty()) std::cerr << "dorv: " << port.portName << ":" << notes << "\n";
    const bool exported = format == "export";
    if (out.empty())
      out = dorv::operations::CsvSaveName("DORV" + f.Label18->Caption() +
                                          (exported ? "-export" : ""));
    try {
      if (exported)
        dorv::operations::WriteExport(out, f.Memo1->Lines(), f.ThresholdDivisor,
                                      dorv::app::LoggerIdentityOf(f));
      else
        dorv::operations::SaveLines(out, f.Memo1->Lines());
    } catch (const std::exception& e) {
      return Failure(out + ": " + e.what());
    }
    progress.Done(port.portName + "\t" + out + "\t" + std::to_string(f.RecordCount) + " records");
    return 0;
  });
}

// Every logger at once: one child process per logger, each a "download
// --port" of its own, so that a logger that fails stops nobody else.
int DownloadAll(const std::string& dir, const std::string& format) {
  std::vector<SerialDeviceInfo> loggers;
  for (auto& d : FoundPorts())
    if (Kind(d) == "logger") loggers.push_back(d);
  if (loggers.empty()) return Failure("no logger found");
  struct stat st {};
  if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    return Failure(dir + ": not a folder (download --all saves one file per logger into it)");
  char stamp[32];
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
  std::map<std::string, int> serials;
  for (auto& d : loggers) ++serials[dorv::platform::UsbSerialNumber(d.identity)];
  std::string self = "/proc/self/exe";
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n > 0) self.assign(buf, static_cast<size_t>(n));
  std::map<pid_t, std::string> children;
  int failed = 0;
  // On a terminal the children report their progress through a pipe and
  // this process draws one line per logger; otherwise each child prints its
  // finished file's line itself.
  const bool terminal = isatty(1) != 0;
  int pipeFds[2] = {-1, -1};
  if (terminal && pipe2(pipeFds, O_CLOEXEC) != 0) pipeFds[0] = pipeFds[1] = -1;
  std::vector<std::string> envStore;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "DORV_PROGRESS_FD=", 17) != 0) envStore.push_back(*e);
  if (pipeFds[1] >= 0) envStore.push_back("DORV_PROGRESS_FD=3");
  std::vector<char*> envp;
  for (auto& e : envStore) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (pipeFds[1] >= 0) posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 3);
  for (auto& d : loggers) {
    std::string serial = dorv::platform::UsbSerialNumber(d.identity);
    // Two loggers with one serial number (simulated ones) keep files apart
    // by their port names.
    std::string name = serial + "-" + stamp;
    if (serials[serial] > 1) name += "-" + d.portName;
    std::string file = dir + "/" + name + ".csv";
    std::vector<std::string> args{self, "download", "--port",   d.portName,
                                  "-o", file,       "--format", format};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, self.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
      std::cerr << "dorv: " << d.portName << ": cannot start a download\n";
      ++failed;
      continue;
    }
    children[pid] = d.portName;
  }
  posix_spawn_file_actions_destroy(&actions);
  if (pipeFds[1] >= 0) close(pipeFds[1]);
  std::cout.flush();

  // The display: a line per logger, redrawn in place.
  std::vector<std::string> order;
  for (auto& [pid, port] : children) order.push_back(port);
  std::sort(order.begin(), order.end());
  std::map<std::string, std::string> lines;
  std::map<std::string, std::chrono::steady_clock::time_point> started;
  for (auto& port : order) {
    lines[port] = port + "  connecting";
    started[port] = std::chrono::steady_clock::now();
  }
  bool drawn = false;
  auto draw = [&] {
    if (pipeFds[0] < 0) return;
    if (drawn) std::cout << "\x1b[" << order.size() << "A";
    for (auto& port : order) std::cout << "\r" << lines[port] << "\x1b[K\n";
    std::cout.flush();
    drawn = true;
  };
  std::string pending;
  // Takes in what the children reported; false when nothing came.
  auto readProgress = [&](int timeoutMs) {
    if (pipeFds[0] < 0) return false;
    pollfd p{pipeFds[0], POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return false;
    char buf[4096];
    ssize_t n = read(pipeFds[0], buf, sizeof buf);
    if (n <= 0) return false;
    pending.append(buf, static_cast<size_t>(n));
    for (size_t nl; (nl = pending.find('\n')) != std::string::npos; pending.erase(0, nl + 1)) {
      std::string line = pending.substr(0, nl);
      if (line.rfind("= ", 0) == 0) {
        std::string done = line.substr(2);
        lines[done.substr(0, done.find('\t'))] = done;
        continue;
      }
      std::istringstream in(line);
      std::string port;
      int records = 0, total = 0;
      if (!(in >> port >> records >> total) || !lines.count(port)) continue;
      double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - started[port]).count();
      lines[port] = ProgressText(port, records, total, seconds);
    }
    draw();
    return true;
  };
  draw();
  std::vector<std::string> failures;
  while (!children.empty()) {
    int status = 0;
    pid_t pid = waitpid(-1, &status, pipeFds[0] >= 0 ? WNOHANG : 0);
    if (pid < 0) break;
    if (pid == 0) {
      readProgress(200);
      continue;
    }
    auto it = children.find(pid);
    if (it == children.end()) continue;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      failures.push_back(it->second);
      lines[it->second] = it->second + "  failed";
      ++failed;
    }
    children.erase(it);
  }
  while (readProgress(0)) {
  }
  draw();
  if (pipeFds[0] >= 0) close(pipeFds[0]);
  for (auto& port : failures) std::cerr << "dorv: " << port << ": failed\n";
  return failed > 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage("");
  if (args[0] == "--help") {
    std::cout << kUsage;
    return 0;
  }
  if (args[0] == "--version") {
    std::cout << "dorv " << DORV_VERSION << "\n";
    return 0;
  }
  std::string command = args[0];
  if (!kCommandHelp.count(command)) return Usage("unknown command " + command);
  bool json = false, all = false;
  std::string port, out, format = "legacy";
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help") {
      std::cout << kCommandHelp.at(command);
      return 0;
    }
    if (a == "--json" && command != "download") {
      json = true;
    } else if (a == "--port" && command != "list" && i + 1 < args.size()) {
      port = args[++i];
    } else if (a == "-o" && command == "download" && i + 1 < args.size()) {
      out = args[++i];
    } else if (a == "--format" && command == "download" && i + 1 < args.size() &&
               (args[i + 1] == "legacy" || args[i + 1] == "export")) {
      format = args[++i];
    } else if (a == "--all" && command == "download") {
      all = true;
    } else {
      std::cerr << "dorv: " << command << ": unexpected " << a << "\n" << kCommandHelp.at(command);
      return 2;
    }
  }
  if (port.empty() && std::find(args.begin(), args.end(), "--port") != args.end())
    return Usage("--port needs a port name or device path");
  if (command == "list") return List(json);
  if (command == "info") return Info(port, json);
  if (all) {
    if (!port.empty()) return Usage("download: --all and --port exclude each other");
    if (out.empty()) return Usage("download --all needs -o DIR");
    return DownloadAll(out, format);
  }
  return DownloadOne(port, out, format);
}
