#pragma once
// The graph and statistics windows in-process: the application with the main
// window, the graph window and the statistics window, data handed over as the
// main window's graph button does.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/program.h"
#include "common/process.h"
#include "ui/application.h"
#include "ui/canvas.h"
#include "ui/headless_modals.h"
#include "ui/text.h"
#include "viewer/graph_window.h"
#include "viewer/statistics_window.h"

namespace dorv::testing {

using Op = ui::TRecordingCanvas::Op;

// One data line as record decoding writes it: 4 values, or 5 with `extra`.
inline std::string DataLine(int month, int day, long long msOfDay, int x, int y, int z,
                            const char* temp = " 23.0", const char* extra = nullptr) {
  const long long h = msOfDay / 3600000, m = msOfDay / 60000 % 60, s = msOfDay / 1000 % 60,
                  ms = msOfDay % 1000;
  std::string line = ui::Format("2023/%02d/%02d %02lld:%02lld:%02lld.%03lld,%3d,%3d,%3d,%s", month,
                                day, h, m, s, ms, x, y, z, temp);
  if (extra) line += std::string(",") + extra;
  return line;
}

// A document whose parsed lines (indexes 3 ...) are `samples`: two header
// lines, one data line before them and three after them that are never parsed.
inline std::vector<std::string> Document(const std::vector<std::string>& samples) {
  std::vector<std::string> doc{"Start Year=2023 @1G=10", "date time,x(G),y(G),z(G),temperature(C)"};
  doc.push_back(samples.empty() ? DataLine(1, 11, 0, 0, 0, 0) : samples.front());
  doc.insert(doc.end(), samples.begin(), samples.end());
  for (int k = 0; k < 3; ++k) doc.push_back(doc.back());
  return doc;
}

// `count` samples `stepMs` apart from 01/11 at `startMs`, X = value(i).
template <class F>
std::vector<std::string> Series(int count, long long startMs, long long stepMs, F xOf) {
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) {
    long long t = startMs + i * stepMs;
    out.push_back(DataLine(1, 11 + int(t / 86400000), t % 86400000, xOf(i), 2, 3));
  }
  return out;
}

inline bool IsVertical(const Op& op, int x) {
  return op.type == Op::Line && op.x0 == x && op.x1 == x;
}

// One application with its windows; one at a time per process.
class GraphApp {
 public:
  GraphApp() {
    static TempDir runtime;  // anything the windows keep at run time goes here
    setenv("DORV_RUNTIME_DIR", runtime.path.c_str(), 1);
    app::CreateForms(app_);
    f2 = viewer::Form2;
    f4 = viewer::Form4;
  }

  ui::HeadlessModals& Modals() { return static_cast<ui::HeadlessModals&>(app_.Modals()); }

  // Runs a user action as the application does: what it raises is shown.
  template <class F>
  void Act(F action) {
    try {
      action();
    } catch (...) {
      app_.HandleException(std::current_exception());
    }
  }

  // The graph button's hand-over: the document, its divisor, then the graph
  // window closed, sized 800 x 550 and shown.
  void Open(const std::vector<std::string>& doc, int divisor = 10) {
    auto* f1 = app::Form1;
    std::copy(doc.begin(), doc.end(), f1->RecordLines.begin());
    f1->RecordCount = static_cast<int>(doc.size());
    f1->ThresholdDivisor = divisor;
    Act([&] {
      f2->Close();
      f2->SetBounds(f2->Left(), f2->Top(), 800, 550);
      f2->Show();
    });
  }

  void Choose(const std::string& scale) {
    Act([&] { f2->ComboBox1->UserChoose(scale); });
  }

  ui::TRecordingCanvas Paint() {
    ui::TRecordingCanvas c;
    f2->PaintOn(c);
    return c;
  }

  static std::vector<Op> Lines(const ui::TRecordingCanvas& c, ui::TColor color) {
    std::vector<Op> out;
    for (auto& op : c.Ops())
      if (op.type == Op::Line && op.color == color) out.push_back(op);
    return out;
  }
  static std::vector<Op> Texts(const ui::TRecordingCanvas& c) {
    std::vector<Op> out;
    for (auto& op : c.Ops())
      if (op.type == Op::Text) out.push_back(op);
    return out;
  }

  ui::TApplication app_;
  viewer::TForm2* f2 = nullptr;
  viewer::TForm4* f4 = nullptr;
};

class GraphWindow : public ::testing::Test, public GraphApp {};

}  // namespace dorv::testing
