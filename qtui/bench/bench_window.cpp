// dorv-bench-window: the window's cost with a full store, on Qt's offscreen
// platform. The main window's memo takes a download of 72020 records (decoded
// as the download's final prompt does), then the graph button is clicked.
// The last line:
//   rss_mb=R peak_rss_mb=P graph_button_ms=G
// R and P are the resident memory after the graph was painted and its peak;
// G is the time from the click to the graph window's first paint.
#include <stdlib.h>

#include <QApplication>
#include <QElapsedTimer>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "app/program.h"
#include "app/main_window.h"
#include "qtui/frontend.h"
#include "simulator/records.h"
#include "ui/application.h"
#include "ui/text.h"
#include "viewer/graph_window.h"

using namespace dorv;

namespace {

// VmRSS or VmHWM of this process, in MB.
double StatusMb(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(key, 0) == 0) return std::stod(line.substr(line.find(':') + 1)) / 1024.0;
  return 0;
}

// Runs Qt's loop until pred() holds or ms have passed.
bool PumpUntil(const std::function<bool()>& pred, int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) {
    if (pred && pred()) return true;
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return pred ? pred() : false;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  char tmpl[] = "/tmp/dorv-bench-XXXXXX";
  std::string runtime = mkdtemp(tmpl);
  setenv("DORV_RUNTIME_DIR", runtime.c_str(), 1);

  QApplication qapp(argc, argv);
  ui::TApplication app;
  app::CreateForms(app);
  app::TForm1& f = *app::Form1;
  qtui::Renderer renderer(app, app.Forms());
  f.Timer1->SetInterval(0);  // no port search meanwhile
  PumpUntil(nullptr, 300);
  std::printf("windows: rss %.1f MB\n", StatusMb("VmRSS:"));

  // The download's end: the received lines decoded into the memo.
  const int kFull = app::kRecordCapacity;
  auto records = sim::GenerateRecording(kFull, 7, false);
  for (int i = 0; i < kFull; ++i) f.RecordLines[i] = sim::EncodeRecord(records[i], false);
  records.clear();
  records.shrink_to_fit();
  f.Label15->SetCaption("2015");
  f.Memo1->SetLines({"Start Year=2015 @1G=10", "date time,x(G),y(G),z(G),temperature(C)"});
  f.DataCount = kFull;
  f.Downloading = 1;
  f.SavedHeight = f.Height();
  f.CompleteDownload();
  PumpUntil(nullptr, 500);
  std::printf("memo: %d lines, rss %.1f MB\n", f.Memo1->Count(), StatusMb("VmRSS:"));

  // The graph button, timed to the graph window's first paint.
  int before = viewer::Form2->PaintCount();
  auto t0 = std::chrono::steady_clock::now();
  f.Button12Click();
  bool painted = PumpUntil([&] { return viewer::Form2->PaintCount() > before; }, 10000);
  double graphMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  if (!painted) {
    std::fprintf(stderr, "the graph window was not painted\n");
    return 1;
  }
  PumpUntil(nullptr, 500);
  double rss = StatusMb("VmRSS:"), peak = StatusMb("VmHWM:");
  std::printf("graph: painted %.1f ms after the click\n", graphMs);
  std::printf("rss_mb=%.1f peak_rss_mb=%.1f graph_button_ms=%.1f\n", rss, peak, graphMs);
  std::filesystem::remove_all(runtime);
  std::fflush(stdout);
  std::_Exit(0);  // the forms' teardown is not part of the figures
}
