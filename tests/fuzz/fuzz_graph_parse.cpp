// The graph window's parse of a handed-over document, then what a user does
// with it: a time scale, the cursor, a marked range, and the paint.
//
// Input: byte 0 the divisor (counts per G), byte 1 the time scale (an item
// of its list), byte 2 the cursor position (a share of the range), byte 3 the
// mouse's x for the range, then the document (lines as the main window hands
// them over: its record lines).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_app.h"
#include "files/csv_file.h"
#include "ui/canvas.h"
#include "ui/exceptions.h"

using dorv::fuzz::App;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  App& app = App::Get();
  app.Reset();
  auto& f1 = app.Main();
  auto* f2 = dorv::viewer::Form2;

  f1.ThresholdDivisor = data[0] % 100;  // "@1G=" takes up to two digits
  std::vector<std::string> doc = dorv::files::SplitLines(
      std::string_view(reinterpret_cast<const char*>(data + 4), size - 4));
  if (doc.size() > 20000) doc.resize(20000);  // what the graph button hands over
  std::copy(doc.begin(), doc.end(), f1.RecordLines.begin());
  f1.RecordCount = static_cast<int>(doc.size());
  app.TouchRecords(f1.RecordCount);

  auto act = [&](auto action) {
    try {
      action();
    } catch (const dorv::ui::Exception&) {
      // Shown by the application's exception display.
    }
  };
  act([&] {
    f2->Close();
    f2->SetBounds(f2->Left(), f2->Top(), 800, 550);
    f2->Show();  // refills its lines and parses them
  });
  act([&] {
    const auto& items = f2->ComboBox1->Items();
    if (!items.empty()) f2->ComboBox1->UserChoose(items[data[1] % items.size()]);
  });
  act([&] {
    auto* bar = f2->ScrollBar1;
    bar->SetPosition(bar->Min() + (bar->Max() - bar->Min()) * data[2] / 255);
  });
  dorv::ui::TRecordingCanvas before;
  f2->PaintOn(before);
  act([&] { f2->FormMouseDown(dorv::ui::TMouseButton::mbLeft, data[3] * 4, 100); });
  dorv::ui::TRecordingCanvas after;
  f2->PaintOn(after);
  return 0;
}
