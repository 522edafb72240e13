// A window's paint placed on a page: scaled, moved and cut to the window.
#include "ui/scaled_canvas.h"

#include <gtest/gtest.h>

#include <tuple>

namespace dorv::ui {
namespace {

TEST(ScaledCanvas, SegmentsAreCutToTheRectangle) {
  struct {
    const char* name;
    double x0, y0, x1, y1;
    bool inside;
    double cx0, cy0, cx1, cy1;
  } cases[] = {
      {"inside", 1, 2, 3, 4, true, 1, 2, 3, 4},
      {"across the right edge", 5, 5, 15, 5, true, 5, 5, 10, 5},
      {"through both vertical edges", -10, 2, 20, 2, true, 0, 2, 10, 2},
      {"diagonal from outside", -5, -5, 5, 5, true, 0, 0, 5, 5},
      {"wholly above", 0, -3, 10, -1, false, 0, 0, 0, 0},
      {"vertical, left of it", -1, 0, -1, 10, false, 0, 0, 0, 0},
      {"a trace far below", 3, 500, 4, 900, false, 0, 0, 0, 0},
  };
  for (auto& c : cases) {
    double x0 = c.x0, y0 = c.y0, x1 = c.x1, y1 = c.y1;
    EXPECT_EQ(ClipSegment(x0, y0, x1, y1, 10, 10), c.inside) << c.name;
    if (!c.inside) continue;
    EXPECT_DOUBLE_EQ(x0, c.cx0) << c.name;
    EXPECT_DOUBLE_EQ(y0, c.cy0) << c.name;
    EXPECT_DOUBLE_EQ(x1, c.cx1) << c.name;
    EXPECT_DOUBLE_EQ(y1, c.cy1) << c.name;
  }
}

TEST(ScaledCanvas, DrawsScaledAndMovedOnItsTarget) {
  TRecordingCanvas page;
  TScaledCanvas c(page, 2.5, 100, 200, 80, 60);
  c.PenColor = clRed;
  c.DrawLine(0, 0, 40, 20);
  c.DrawLine(0, 70, 40, 70);  // below the window: left out
  c.Font.Height = 12;
  c.TextOut(10, 10, "X");
  c.TextOut(90, 10, "beyond");  // right of the window: left out
  c.FillRect(-5, 50, 10, 100);  // cut to the window
  const auto& ops = page.Ops();
  ASSERT_EQ(ops.size(), 3u);
  EXPECT_EQ(ops[0].type, TRecordingCanvas::Op::Line);
  EXPECT_EQ(std::tie(ops[0].x0, ops[0].y0, ops[0].x1, ops[0].y1),
            std::make_tuple(100, 200, 200, 250));
  EXPECT_EQ(ops[0].color, clRed);
  EXPECT_EQ(ops[1].text, "X");
  EXPECT_EQ(std::tie(ops[1].x0, ops[1].y0), std::make_tuple(125, 225));
  EXPECT_EQ(ops[1].font.Height, 30);
  EXPECT_EQ(std::tie(ops[2].x0, ops[2].y0, ops[2].x1, ops[2].y1),
            std::make_tuple(100, 325, 125, 350));
}

}  // namespace
}  // namespace dorv::ui
