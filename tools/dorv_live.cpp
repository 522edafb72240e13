// The live commands: monitor (the window's モニタ, one line per answer) and
// burst (its 5ms button, saved as 保存 saves it).
#include <signal.h>

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <nlohmann/json.hpp>

#include "files/csv_file.h"
#include "tools/dorv_cli.h"
#include "tools/dorv_values.h"
#include "ui/application.h"
#include "ui/headless_modals.h"
#include "ui/text.h"

namespace dorv::cli {

using namespace std::chrono_literals;

namespace {

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) {
  interrupted = 1;
}

// SIGINT and SIGTERM end the monitor at the next tick (at most 300 ms
// later), with the window's monitoring switched off as its button does.
void CatchInterrupts() {
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

// One line of live values as the window shows them: the axis labels and
// the temperature box.
void PrintLiveValues(app::TForm1& f, bool json) {
  std::string x = Trimmed(f.Label11->Caption()), y = Trimmed(f.Label27->Caption()),
              z = Trimmed(f.Label32->Caption());
  std::string t = ui::Trim(f.Edit10->Text());
  if (json) {
    auto number = [](const std::string& s) -> nlohmann::json {
      int v = 0;
      if (ui::TryStrToInt(s, v)) return v;
      return nullptr;
    };
    std::string digits = !t.empty() && t.back() == 'C' ? t.substr(0, t.size() - 1) : t;
    char* end = nullptr;
    double temp = std::strtod(digits.c_str(), &end);
    nlohmann::ordered_json line = {{"time", f.NowText},
                                   {"x", number(x)},
                                   {"y", number(y)},
                                   {"z", number(z)},
                                   {"temperature", nullptr}};
    if (!digits.empty() && end && *end == '\0') line["temperature"] = temp;
    std::cout << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << std::endl;
  } else {
    std::cout << f.NowText << " X=" << x << " Y=" << y << " Z=" << z << " T=" << t << std::endl;
  }
}

}  // namespace

int Monitor(const Invocation& inv) {
  return OnChosenLogger(inv.port, [&](const SerialDeviceInfo& port, app::TForm1& f) {
    CatchInterrupts();
    auto& loop = ui::Application()->Loop();
    f.Button10->UserClick();  // monitoring on: a value request every 300 ms tick
    int printed = 0;
    bool requestOpen = false, lost = false;
    auto done = [&] {
      if (interrupted) return true;
      // The tick switches monitoring off when the logger's port is gone.
      if (f.Monitoring == 0) return lost = true;
      if (f.MonitorRequestOpen == 1) {
        requestOpen = true;
        return false;
      }
      if (!requestOpen) return false;
      requestOpen = false;
      // A request the reply watchdog ended has no new values.
      if (f.ReplySilenceExceeded()) return lost = true;
      PrintLiveValues(f, inv.json);
      ++printed;
      return inv.count > 0 && printed >= inv.count;
    };
    while (!loop.RunUntil(done, 1h)) {
    }
    if (f.Monitoring == 1) f.Button10->UserClick();
    if (lost) return Failure(port.portName + ": the logger stopped answering");
    return 0;
  });
}

int Burst(const Invocation& inv) {
  int seconds = 0;
  std::string error;
  if (!ParseBurstSeconds(inv.words[0], seconds, error)) return Usage(error);
  if (inv.out.empty()) return Usage("burst needs -o FILE");
  return OnChosenLogger(inv.port, [&](const SerialDeviceInfo& port, app::TForm1& f) {
    auto& app = *ui::Application();
    auto& modals = static_cast<ui::HeadlessModals&>(app.Modals());
    // The value request's answer (the temperature of the document's second
    // line) comes while the duration prompt is open, as a person would
    // take a moment to type the seconds.
    modals.SetAnswerDelay(500ms);
    modals.QueueAnswer(std::to_string(seconds));
    f.Button40->UserClick();
    modals.SetAnswerDelay(0ms);
    if (f.FastRowIndex == 0) return Failure(port.portName + ": the window started no burst");
    const int rows = seconds * 200;
    Progress progress;
    const auto start = std::chrono::steady_clock::now();
    auto shown = start;
    bool ended = app.Loop().RunUntil(
        [&] {
          if (f.FastRowIndex == 0) return true;
          auto now = std::chrono::steady_clock::now();
          if (now - shown >= 250ms) {
            shown = now;
            progress.Report(port.portName, f.FastRowIndex - 1, rows,
                            std::chrono::duration<double>(now - start).count(), "rows");
          }
          return false;
        },
        std::chrono::seconds(seconds) + 30s);
    progress.Clear();
    if (!ended) return Failure(port.portName + ": the burst did not end");
    std::string notes;
    for (auto& m : TakeMessages()) notes += "\n  " + m;
    // The document: start line, value line, rows 1 to rows - 1, end line.
    // A burst the reply watchdog ended is a failure, not a shorter file.
    const int got = f.Memo1->Count() - 3;
    if (got != rows - 1)
      return Failure(port.portName + ": burst incomplete: " + std::to_string(got < 0 ? 0 : got) +
                     " of " + std::to_string(rows - 1) + " rows" + notes);
    if (!notes.empty()) std::cerr << "dorv: " << port.portName << ":" << notes << "\n";
    try {
      files::SaveLines(inv.out, f.Memo1->Lines());
    } catch (const std::exception& e) {
      return Failure(inv.out + ": " + e.what());
    }
    progress.Done(port.portName + "\t" + inv.out + "\t" + std::to_string(rows - 1) + " rows");
    return 0;
  });
}

}  // namespace dorv::cli
