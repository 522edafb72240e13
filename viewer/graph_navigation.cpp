// The graph window's navigation: the wheel steps the time per division
// through ComboBox1's list, a drag with the right button scrolls the data
// under the cursor line. Both go through the window's own handlers
// (ComboBox1Change, the scroll bar's change), so the scale, the scroll bar
// and the cursor time stay one.
#include <algorithm>
#include <cstdlib>

#include "viewer/graph_paint.h"
#include "viewer/graph_window.h"
#include "viewer/statistics_window.h"

namespace dorv::viewer {

namespace {

constexpr int kWheelNotch = 120;
// A right press that moves at least this far is a drag.
constexpr int kDragThreshold = 3;

}  // namespace

void TForm2::GraphMouseDown(ui::TMouseButton button, int x, int y) {
  // Every press marks the range as before; a right press that becomes a drag
  // puts the range back as it was.
  if (button == ui::TMouseButton::mbRight)
    RightDrag = {
        true, false, x, y, CursorSample(), RangeWidth, RangeStartText, Form4 && Form4->Visible()};
  FormMouseDown(button, x, y);
}

void TForm2::GraphMouseMove(int x, int y) {
  if (!RightDrag.active) return;
  const int dx = x - RightDrag.startX;
  if (!RightDrag.moved && std::abs(dx) < kDragThreshold &&
      std::abs(y - RightDrag.startY) < kDragThreshold)
    return;
  if (!RightDrag.moved) {
    RightDrag.moved = true;
    RangeWidth = RightDrag.rangeWidth;
    RangeStartText = RightDrag.rangeStartText;
    if (Form4 && Form4->Visible() != RightDrag.statisticsShown)
      RightDrag.statisticsShown ? Form4->Show() : Form4->Hide();
    Invalidate();
  }
  if (SampleEnd <= kFirstSample) return;
  // The sample that was under the cursor line follows the pointer: the one
  // now under the cursor lies -dx pixels from it at the current scale.
  const int start = std::clamp(RightDrag.startPosition, kFirstSample, SampleEnd - 1);
  const std::int64_t t0 = Samples.Time[start];
  auto offset = [&](int i) {
    return TimeOffset(Samples.Time[i] - t0, TimeScaleMul, TimeScaleDiv, TimeScaleUnit);
  };
  const int target = -dx;
  int i = start;
  if (target > 0) {
    while (i + 1 < SampleEnd && offset(i + 1) <= target) ++i;
  } else if (target < 0) {
    while (i - 1 >= kFirstSample && offset(i - 1) >= target) --i;
  }
  i = std::clamp(i, ScrollBar1->Min(), std::max(ScrollBar1->Min(), ScrollBar1->Max()));
  if (i != ScrollBar1->Position()) ScrollBar1->SetPosition(i);  // runs ScrollBar1Change
}

void TForm2::GraphMouseUp(ui::TMouseButton button, int, int) {
  if (button == ui::TMouseButton::mbRight) RightDrag = {};
}

void TForm2::GraphMouseWheel(int delta, int, int) {
  // Whole notches only; a fine-grained wheel's parts add up.
  WheelRest += delta;
  const int steps = WheelRest / kWheelNotch;
  WheelRest -= steps * kWheelNotch;
  if (steps == 0) return;
  // The scales of the list, without its blank item.
  std::vector<std::string> scales;
  for (const std::string& item : ComboBox1->Items())
    if (item.find_first_not_of(' ') != std::string::npos) scales.push_back(item);
  const auto at = std::find(scales.begin(), scales.end(), ComboBox1->Text());
  if (at == scales.end() || scales.empty()) return;
  // Away from the user: a shorter time per division (zoom in).
  const int from = static_cast<int>(at - scales.begin());
  const int to = std::clamp(from - steps, 0, static_cast<int>(scales.size()) - 1);
  if (to == from) return;
  ComboBox1->UserChoose(scales[to]);  // the user's choice: ComboBox1Change runs
}

}  // namespace dorv::viewer
