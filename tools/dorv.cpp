// dorv: the command line of the utility. It finds loggers with the window's
// port search and runs the window's own forms headless in this process for
// every exchange, so that what it reads and saves is what the window would.
// Here: the command line's parsing, list, info and download; the commands
// that change the logger are in dorv_change.cpp, monitor and burst in
// dorv_live.cpp.
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
#include "dorv_version.h"
#include "files/csv_file.h"
#include "files/export_csv.h"
#include "tools/dorv_cli.h"
#include "ui/application.h"
#include "ui/headless_modals.h"

extern char** environ;

namespace dorv::cli {

using namespace std::chrono_literals;

// A download at most (the reply watchdog ends an exchange the logger stops
// answering long before).
constexpr auto kDownloadLimit = 30min;

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

int Info(const Invocation& inv) {
  return OnChosenLogger(inv.port, [&](const SerialDeviceInfo& port, app::TForm1& f) {
    PrintFields(StatusFields(port, f), inv.json);
    return 0;
  });
}

namespace {

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
      out = dorv::files::CsvSaveName("DORV" + f.Label18->Caption() + (exported ? "-export" : ""));
    try {
      if (exported)
        dorv::files::WriteExport(out, f.Memo1->Lines(), f.ThresholdDivisor,
                                 dorv::app::LoggerIdentityOf(f));
      else
        dorv::files::SaveLines(out, f.Memo1->Lines());
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

int Download(const Invocation& inv) {
  if (!inv.all) return DownloadOne(inv.port, inv.out, inv.format);
  if (!inv.port.empty()) return Usage("download: --all and --port exclude each other");
  if (inv.out.empty()) return Usage("download --all needs -o DIR");
  return DownloadAll(inv.out, inv.format);
}

}  // namespace dorv::cli

namespace {

using dorv::cli::Invocation;

// Which options each command takes.
struct CommandOptions {
  int (*run)(const Invocation&);
  size_t words;  // arguments that are no option
  bool port, json, out, all, count;
};

int ListCommand(const Invocation& inv) {
  return dorv::cli::List(inv.json);
}

const std::map<std::string, CommandOptions> kCommands = {
    {"list", {ListCommand, 0, false, true, false, false, false}},
    {"info", {dorv::cli::Info, 0, true, true, false, false, false}},
    {"download", {dorv::cli::Download, 0, true, false, true, true, false}},
    {"set", {dorv::cli::Set, 2, true, true, false, false, false}},
    {"start", {dorv::cli::Recording, 0, true, true, false, false, false}},
    {"stop", {dorv::cli::Recording, 0, true, true, false, false, false}},
    {"reserve", {dorv::cli::Reserve, 1, true, true, false, false, false}},
    {"monitor", {dorv::cli::Monitor, 0, true, true, false, false, true}},
    {"burst", {dorv::cli::Burst, 1, true, false, true, false, false}},
};

}  // namespace

int main(int argc, char** argv) {
  using dorv::cli::Usage;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage("");
  if (args[0] == "--help") {
    std::cout << dorv::cli::kUsage;
    return 0;
  }
  if (args[0] == "--version") {
    std::cout << "dorv " << DORV_VERSION << "\n";
    return 0;
  }
  Invocation inv;
  inv.command = args[0];
  auto entry = kCommands.find(inv.command);
  if (entry == kCommands.end()) return Usage("unknown command " + inv.command);
  const CommandOptions& c = entry->second;
  const std::string help = dorv::cli::CommandHelp(inv.command);
  auto unexpected = [&](const std::string& what) {
    std::cerr << "dorv: " << inv.command << ": " << what << "\n" << help;
    return 2;
  };
  bool portGiven = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--help") {
      std::cout << help;
      return 0;
    }
    if (a == "--json" && c.json) {
      inv.json = true;
    } else if (a == "--port" && c.port && hasValue) {
      inv.port = args[++i];
      portGiven = true;
    } else if (a == "-o" && c.out && hasValue) {
      inv.out = args[++i];
    } else if (a == "--format" && inv.command == "download" && hasValue) {
      inv.format = args[++i];
      if (inv.format != "legacy" && inv.format != "export")
        return unexpected("--format takes legacy or export, not \"" + inv.format + "\"");
    } else if (a == "--all" && c.all) {
      inv.all = true;
    } else if (a == "--count" && c.count && hasValue) {
      const std::string& n = args[++i];
      char* end = nullptr;
      long v = std::strtol(n.c_str(), &end, 10);
      if (n.empty() || *end != '\0' || v < 1 || v > 1000000)
        return unexpected("--count takes a number from 1 to 1000000, not \"" + n + "\"");
      inv.count = static_cast<int>(v);
    } else if (a.size() > 1 && a[0] == '-' && !(a[1] >= '0' && a[1] <= '9')) {
      return unexpected("unexpected " + a);
    } else if (inv.words.size() < c.words) {
      inv.words.push_back(a);
    } else {
      return unexpected("unexpected " + a);
    }
  }
  if (portGiven && inv.port.empty()) return Usage("--port needs a port name or device path");
  if (inv.words.size() < c.words) return unexpected("too few arguments");
  return c.run(inv);
}
