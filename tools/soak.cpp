// dorv-soak: the utility's forms in this process against the simulated
// logger, through a long series of cycles, each of them
//   a disconnect and a connect (the logger's port leaves the system and comes
//   back, seen by the timer tick), a settings exchange, a download, and a few
//   monitor ticks with the monitor switched on and off again;
// and what the process holds before and after: resident memory, open file
// descriptors and threads, measured after a warm-up cycle with the port
// closed. The last line reads
//   soak: cycles=N rss_growth_kb=G fd_growth=F thread_growth=T
// Exit status 1 when a step did not complete or a message was shown.
#include <dirent.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "app/program.h"
#include "app/main_window.h"
#include "ui/application.h"
#include "ui/headless_modals.h"

using namespace dorv;

namespace {

constexpr int kCom = 7;
constexpr int kRecords = 200;
constexpr auto kStepLimit = std::chrono::seconds(10);
constexpr auto kSecondStatus = std::chrono::milliseconds(100);

struct Usage {
  long rssKb = 0;
  int fds = 0;
  int threads = 0;
};

long StatusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
  return -1;
}

int CountEntries(const char* dir) {
  DIR* d = opendir(dir);
  if (!d) return -1;
  int n = 0;
  while (dirent* e = readdir(d))
    if (e->d_name[0] != '.') ++n;
  closedir(d);
  return n;
}

Usage Measure() {
  Usage u;
  u.rssKb = StatusKb("VmRSS:");
  u.fds = CountEntries("/proc/self/fd") - 1;  // less the listing's own descriptor
  u.threads = CountEntries("/proc/self/task");
  return u;
}

// The simulated logger beside this program, stopped with the object.
struct Logger {
  pid_t pid = -1;
  bool Start(const std::string& binDir) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    pid = fork();
    if (pid == 0) {
      dup2(fds[1], 1);
      close(fds[0]);
      close(fds[1]);
      std::string com = std::to_string(kCom), records = std::to_string(kRecords);
      execl((binDir + "/dorv-logger-sim").c_str(), "dorv-logger-sim", "--com", com.c_str(),
            "--records", records.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string line;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') line += c;
    close(fds[0]);
    return line.rfind("COM" + std::to_string(kCom) + " ", 0) == 0;
  }
  ~Logger() {
    if (pid > 0) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
  }
};

class Soak {
 public:
  Soak(app::TForm1& f, ui::HeadlessModals& modals, std::string registration)
      : f_(f), modals_(modals), registration_(std::move(registration)) {}

  // One cycle; false (with a note on stderr) when a step did not complete.
  bool Cycle(int n) {
    cycle_ = n;
    return Disconnect() && Connect() && Settings(n) && Download() && Monitor() && Quiet();
  }

  // Waits for the first connection the start-up tick began.
  bool FirstConnect() {
    return Until(
        "first connect", [&] { return Connected(); }, std::chrono::seconds(20));
  }

 private:
  bool Closed() const { return f_.SerialPort1->PortPhase() == serial::TPortPhase::ppClosed; }
  bool Connected() const {
    return f_.LoggerReady == 1 && f_.LoggerAwake == 1 && Closed() && f_.Timer1->Interval() != 0;
  }

  bool Until(const char* step, const std::function<bool()>& done,
             std::chrono::milliseconds limit = kStepLimit) {
    if (ui::Application()->Loop().RunUntil(done, limit)) return true;
    std::fprintf(stderr, "soak: cycle %d: %s did not complete\n", cycle_, step);
    return false;
  }

  // The logger's port leaves the system: the next tick finds no port.
  bool Disconnect() {
    std::filesystem::rename(registration_, registration_ + ".away");
    f_.Timer1Timer();
    return Until("disconnect", [&] { return f_.LoggerReady == 0 && Closed(); });
  }

  // It comes back: the next tick connects and the logger is woken. The
  // connect asks for the status twice and ends at the first answer; the
  // second one is over before a person acts, and before the next step here.
  bool Connect() {
    std::filesystem::rename(registration_ + ".away", registration_);
    f_.Timer1Timer();
    if (!Until("connect", [&] { return Connected(); })) return false;
    ui::Application()->Loop().RunFor(kSecondStatus);
    return true;
  }

  // A record interval chosen, sent, and read back from the status.
  bool Settings(int n) {
    static const char* const kChoices[] = {"1min", "5min", "10sec", "30min"};
    const std::string choice = kChoices[n % 4];
    f_.ComboBox2->SetText(choice);
    f_.ComboBox2Change();
    return Until("settings exchange", [&] { return Closed() && f_.Timer1->Interval() != 0; }) &&
           Check("settings exchange", f_.ComboBox2->Text() == choice);
  }

  bool Download() {
    f_.Button30Click();
    return Until("download", [&] { return f_.Downloading == 0 && Closed(); }) &&
           Check("download", f_.RecordCount == kRecords && f_.Memo1->Count() == kRecords + 2);
  }

  // Two monitor ticks with the monitor on, then the tick after it is off.
  bool Monitor() {
    f_.Button10Click();
    for (int k = 0; k < 2; ++k) {
      f_.Edit10->SetText("");
      f_.Timer1Timer();
      if (!Until("monitor tick", [&] {
            return f_.MonitorRequestOpen == 0 && Closed() && !f_.Edit10->Text().empty();
          }))
        return false;
    }
    f_.Button10Click();
    f_.Timer1Timer();
    return Until("monitor off", [&] { return f_.MonitorStartPending == 0 && Closed(); }) &&
           Until("status after the monitor", [&] { return Closed(); });
  }

  // Nothing is shown to the user in a cycle without faults.
  bool Quiet() {
    bool quiet = modals_.Messages().empty();
    for (auto& m : modals_.Messages())
      std::fprintf(stderr, "soak: cycle %d: message: %s\n", cycle_, m.c_str());
    modals_.Clear();
    return quiet;
  }

  bool Check(const char* step, bool ok) {
    if (!ok) std::fprintf(stderr, "soak: cycle %d: %s gave an unexpected result\n", cycle_, step);
    return ok;
  }

  app::TForm1& f_;
  ui::HeadlessModals& modals_;
  std::string registration_;
  int cycle_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  int cycles = 1000;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--cycles") == 0 && i + 1 < argc && std::atoi(argv[i + 1]) > 0) {
      cycles = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: dorv-soak [--cycles N]\n");
      return 2;
    }
  }
  std::string binDir = std::filesystem::path(argv[0]).parent_path().string();
  char tmpl[] = "/tmp/dorv-soak-XXXXXX";
  if (!mkdtemp(tmpl)) {
    std::perror("dorv-soak: mkdtemp");
    return 1;
  }
  std::string runtime = tmpl;
  setenv("DORV_RUNTIME_DIR", runtime.c_str(), 1);

  int status = 0;
  {
    Logger logger;
    if (!logger.Start(binDir)) {
      std::fprintf(stderr, "dorv-soak: the simulated logger did not start\n");
      std::filesystem::remove_all(runtime);
      return 1;
    }
    ui::TApplication app;
    auto& modals = static_cast<ui::HeadlessModals&>(app.Modals());
    modals.SetAnswerDelay(std::chrono::milliseconds(0));
    app::CreateForms(app);

    Soak soak(*app::Form1, modals, runtime + "/ports/COM" + std::to_string(kCom));
    bool ok = soak.FirstConnect() && soak.Cycle(0);  // warm-up
    Usage start = Measure(), end = start;
    std::printf("start: rss_kb=%ld fds=%d threads=%d\n", start.rssKb, start.fds, start.threads);
    std::fflush(stdout);
    int done = 0;
    auto t0 = std::chrono::steady_clock::now();
    for (int n = 1; ok && n <= cycles; ++n) {
      ok = soak.Cycle(n);
      if (ok) ++done;
      if (n % 100 == 0 || n == cycles || !ok) {
        end = Measure();
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::printf("cycle %d: rss_kb=%ld fds=%d threads=%d (%.0f ms a cycle)\n", n, end.rssKb,
                    end.fds, end.threads, 1000 * s / n);
        std::fflush(stdout);
      }
    }
    if (!ok) status = 1;
    std::printf("soak: cycles=%d rss_growth_kb=%ld fd_growth=%d thread_growth=%d\n", done,
                end.rssKb - start.rssKb, end.fds - start.fds, end.threads - start.threads);
  }
  std::filesystem::remove_all(runtime);
  return status;
}
