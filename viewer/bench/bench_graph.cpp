// dorv-bench-graph: parsing the handed-over lines and painting the graph
// window, timed. The last line sums it up:
//   parse_ms=P paint_small_ms=S paint_large_ms=L size_ratio=L/S
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/program.h"
#include "ui/application.h"
#include "ui/raster_canvas.h"
#include "ui/text.h"
#include "viewer/graph_window.h"
#include "viewer/statistics_window.h"

namespace {

using namespace dorv;

// Median wall time of `runs` calls, in milliseconds.
double MedianMs(int runs, const std::function<void()>& fn) {
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    fn();
    auto t1 = std::chrono::steady_clock::now();
    ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

// A document of `lines` lines: two header lines, then data one second apart.
void HandOver(int lines) {
  auto* f1 = app::Form1;
  if (static_cast<int>(f1->RecordLines.size()) < lines) f1->RecordLines.resize(lines);
  f1->RecordLines[0] = "Start Year=2023 @1G=10";
  f1->RecordLines[1] = "date time,x(G),y(G),z(G),temperature(C)";
  for (int k = 2; k < lines; ++k) {
    long long t = k * 1000LL;
    int day = 11 + static_cast<int>(t / 86400000);
    t %= 86400000;
    f1->RecordLines[k] =
        ui::Format("2023/01/%02d %02lld:%02lld:%02lld.000,%3d,%3d,%3d, 23.5", day, t / 3600000,
                   t / 60000 % 60, t / 1000 % 60, k % 40 - 20, k % 17 - 8, 10);
  }
  f1->RecordCount = lines;
}

// Shows the graph as the graph button does; the cursor in the middle of the
// data, 10 s a division, a range marked.
void Open(int lines) {
  auto* g = viewer::Form2;
  HandOver(lines);
  g->Close();
  g->SetBounds(g->Left(), g->Top(), 800, 550);
  g->Show();
  g->ComboBox1->UserChoose("10秒");
  ui::TRecordingCanvas warmUp;
  g->PaintOn(warmUp);
  g->UserMouseDown(ui::TMouseButton::mbLeft, g->CursorX + 120, 100);
}

}  // namespace

int main() {
  char tmpl[] = "/tmp/dorv-bench-XXXXXX";
  const std::string runtime = mkdtemp(tmpl);
  setenv("DORV_RUNTIME_DIR", runtime.c_str(), 1);
  double parseMs = 0, smallMs = 0, largeMs = 0;
  {
    ui::TApplication application;
    app::CreateForms(application);
    auto* g = viewer::Form2;

    // Parsing: the graph's refill and parse of 20000 handed-over lines.
    HandOver(20000);
    parseMs = MedianMs(21, [&] {
      g->Button1Click();
      g->Button4Click();
    });
    std::printf("parse: %d lines, %d samples stored, median %.3f ms\n", 20000, g->SampleEnd - 3,
                parseMs);

    // Painting: one paint of the 800 x 550 window into an image, and as
    // recorded operations, with little and with a full store loaded.
    auto paint = [&](const char* name, int lines, double& rasterMs) {
      Open(lines);
      ui::TRasterCanvas image(g->ClientWidth(), g->ClientHeight(), g->Color());
      rasterMs = MedianMs(51, [&] { g->PaintOn(image); });
      ui::TRecordingCanvas recording;
      size_t ops = 0;
      double recordedMs = MedianMs(51, [&] {
        recording.Clear();
        g->PaintOn(recording);
        ops = recording.Ops().size();
      });
      std::printf(
          "paint %s: %d samples loaded, %s, %zu operations, image %.3f ms, recorded %.3f ms\n",
          name, g->SampleEnd - 3, g->Caption().c_str(), ops, rasterMs, recordedMs);
    };
    paint("small", 1003 + 3, smallMs);
    paint("large", viewer::kSampleCapacity + 3, largeMs);
  }
  std::filesystem::remove_all(runtime);
  std::printf("parse_ms=%.3f paint_small_ms=%.3f paint_large_ms=%.3f size_ratio=%.3f\n", parseMs,
              smallMs, largeMs, largeMs / smallMs);
  return 0;
}
