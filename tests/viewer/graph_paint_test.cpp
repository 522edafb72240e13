// The graph's paint as data on a recording canvas.
#include "viewer/graph_paint.h"

#include "graph_fixture.h"

namespace dorv::testing {
namespace {

constexpr long long kSecond = 1000;

// Strokes of a series: lines of its colour, without the legend's.
std::vector<Op> Strokes(const ui::TRecordingCanvas& c, ui::TColor color) {
  std::vector<Op> out;
  for (auto& op : c.Ops())
    if (op.type == Op::Line && op.color == color && !(op.x0 == 38 && op.x1 == 48))
      out.push_back(op);
  return out;
}

std::vector<std::pair<int, int>> Spans(const std::vector<Op>& ops) {
  std::vector<std::pair<int, int>> out;
  for (auto& op : ops) out.emplace_back(std::min(op.x0, op.x1), std::max(op.x0, op.x1));
  std::sort(out.begin(), out.end());
  return out;
}

TEST(GraphScale, HorizontalOffsetTruncatesAsThirtyTwoBitArithmetic) {
  struct {
    long long dt;
    int mul, div, unit;
    int offset;
  } cases[] = {
      {1000, 1, 10, 25, 4},
      {999, 1, 10, 25, 3},
      {-999, 1, 10, 25, -3},  // toward zero, not down
      {-1000, 1, 10, 25, -4},
      {0, 100, 10, 2, 0},
      {21474836, 100, 10, 2, 107374180},       // the product still fits
      {21474837, 100, 10, 2, -107374179},      // 2147483700 wraps to -2147483596
      {30 * 86400000LL, 1, 10, 300, -567655},  // 2592000000 wraps as well
      {1000, 1, 10, 0, 0},                     // a zero unit is no division
  };
  for (auto& c : cases)
    EXPECT_EQ(viewer::TimeOffset(c.dt, c.mul, c.div, c.unit), c.offset) << c.dt << "/" << c.unit;
}

TEST_F(GraphWindow, CursorLineSitsInTheMiddleDivisionAndFollowsTheWidth) {
  Open(Document(Series(100, 0, kSecond, [](int) { return 0; })));
  auto c = Paint();
  EXPECT_EQ(f2->CursorX, 388);
  EXPECT_EQ(f2->CursorY, 275);
  int grey = 0, black = 0;
  for (auto& op : c.Ops()) {
    if (op.type != Op::Line || op.y0 != 75 || op.y1 != 475 || op.x0 != op.x1) continue;
    EXPECT_EQ((op.x0 - 28) % 40, 0);
    if (op.color == ui::clGray) ++grey;
    if (op.color == ui::clBlack) {
      ++black;
      EXPECT_EQ(op.x0, 388);
    }
  }
  EXPECT_EQ(grey, 19);
  EXPECT_EQ(black, 1);
  EXPECT_EQ(f2->Label4->Left(), 388);
  EXPECT_EQ(f2->Label4->Top(), 75);
  EXPECT_EQ(f2->CheckBox3->Top(), 62);

  // Wider: 26 divisions, the 13th is the cursor line.
  f2->SetBounds(f2->Left(), f2->Top(), 1054, 550);
  Paint();
  EXPECT_EQ(f2->CursorX, 508);

  // Narrower than 80 pixels: no cursor line; the cursor keeps its place.
  f2->SetBounds(f2->Left(), f2->Top(), 70, 550);
  c = Paint();
  for (auto& op : c.Ops())
    EXPECT_FALSE(op.type == Op::Line && op.color == ui::clBlack && op.y0 == 75 && op.y1 == 475);
  EXPECT_EQ(f2->CursorX, 508);
}

TEST_F(GraphWindow, GridLabelsInGAndDegrees) {
  struct {
    int divisor;
    std::vector<std::string> g;  // top to bottom
  } cases[] = {
      {10, {"10G", "9G",  "8G",  "7G",  "6G",  "5G",  "4G",  "3G",  "2G",  "1G",  "0G",
            "-1G", "-2G", "-3G", "-4G", "-5G", "-6G", "-7G", "-8G", "-9G", "-10G"}},
      {50, {"2.0G",   "1.80G", "1.60G",  "1.40G",  "1.20G",  "1.0G",   "0.80G",
            "0.60G",  "0.40G", "0.20G",  "0.0G",   "-0.20G", "-0.40G", "-0.60G",
            "-0.80G", "-1.0G", "-1.20G", "-1.40G", "-1.60G", "-1.80G", "-2.0G"}},
      {0, {}},  // a zero divisor draws no G scale (and does not crash)
  };
  for (auto& k : cases) {
    Open(Document(Series(20, 0, kSecond, [](int) { return 0; })), k.divisor);
    auto c = Paint();
    std::vector<std::string> g, degrees;
    for (auto& op : Texts(c)) {
      if (op.x0 == 5) {
        g.push_back(op.text);
        EXPECT_EQ(op.color, ui::cl3DDkShadow);
        EXPECT_EQ(op.background, ui::clWindow);
        EXPECT_EQ(op.y0, 275 + 2 * (static_cast<int>(g.size()) * 10 - 110) - 9);
      }
      if (op.color == ui::clGrayText) degrees.push_back(op.text + "@" + std::to_string(op.x0));
    }
    EXPECT_EQ(g, k.g) << k.divisor;
    EXPECT_EQ(degrees,
              (std::vector<std::string>{"40℃@40", "20℃@40", "0℃@40", "-20℃@35", "-40℃@35"}));
  }
}

TEST_F(GraphWindow, StrokesJoinOnlySamplesLessThanThreeMinutesApart) {
  // 10 minutes a division: 15 s a pixel.
  Open(Document({DataLine(1, 11, 0, 1, 1, 1, " 20.0", "5"),
                 DataLine(1, 11, 179999, 2, 2, 2, " 21.0", "0"),
                 DataLine(1, 11, 359999, 3, 3, 3, " 22.0", "7"),
                 DataLine(1, 11, 360999, 4, 4, 4, " 23.0", "8")}));
  Choose("10分");
  f2->ScrollBar1->SetPosition(3);
  auto c = Paint();
  using Span = std::pair<int, int>;
  // Offsets 0, 11, 23, 24 pixels from the cursor line at 388.
  EXPECT_EQ(Spans(Strokes(c, ui::clRed)), (std::vector<Span>{{388, 399}, {411, 412}}));
  EXPECT_EQ(Spans(Strokes(c, ui::clFuchsia)), (std::vector<Span>{{388, 399}, {411, 412}}));
  // Temperature at 2 pixels a degree.
  EXPECT_EQ(Strokes(c, ui::clRed)[0].y0, 275 - 40);
  // The fifth value: only from samples whose fifth value is not 0.
  EXPECT_EQ(Spans(Strokes(c, ui::clHighlight)), (std::vector<Span>{{388, 399}, {411, 412}}));
  EXPECT_EQ(Strokes(c, ui::clHighlight)[0].y1, 275);
}

TEST_F(GraphWindow, AxisStrokesGoGreyAcrossStepsWiderThanTwiceTheAverage) {
  // 10 s a division: 4 pixels a second. Ten 1 s steps, one of 3 s, then 1 s.
  std::vector<std::string> lines;
  long long t = 0;
  for (int i = 0; i < 20; ++i) {
    lines.push_back(DataLine(1, 11, t, i, i, i));
    t += i == 9 ? 3 * kSecond : kSecond;
  }
  Open(Document(lines));
  Choose("10秒");
  f2->ScrollBar1->SetPosition(3);
  f2->CheckBox2->SetChecked(false);
  auto c = Paint();
  using Span = std::pair<int, int>;
  // Average step (9 x 4 + 12) / 10 = 4 pixels: only the 12-pixel step is grey.
  std::vector<Span> grey;
  for (auto& op : Lines(c, ui::clGray))
    if (op.x0 != op.x1 && op.y0 != op.y1) grey.emplace_back(op.x0, op.x1);
  EXPECT_EQ(grey, (std::vector<Span>{{424, 436}, {424, 436}}));  // X and Z
  auto x = Spans(Strokes(c, ui::clFuchsia));
  EXPECT_EQ(x.size(), 18u);
  EXPECT_EQ(std::count(x.begin(), x.end(), Span{424, 436}), 0);
  EXPECT_TRUE(Strokes(c, ui::clBlue).empty());  // Y unchecked
  EXPECT_EQ(Strokes(c, ui::clGreen).size(), 18u);
  EXPECT_EQ(Strokes(c, ui::clRed).size(), 19u);  // temperature never grey

  // Samples closer than a pixel: the average step is 0 and every stroke that
  // spans a pixel is grey.
  Open(Document(Series(100, 0, 100 * kSecond, [](int i) { return i; })));
  Choose("日");
  f2->ScrollBar1->SetPosition(3);
  f2->CheckBox2->SetChecked(true);
  c = Paint();
  int wide = 0;
  for (auto& op : Strokes(c, ui::clFuchsia)) EXPECT_EQ(op.x0, op.x1);
  for (auto& op : Lines(c, ui::clGray))
    if (op.x1 == op.x0 + 1) ++wide;
  EXPECT_EQ(wide, 3 * 4);  // three axes at four pixel boundaries in 9900 s
}

TEST_F(GraphWindow, TimeLabelsEveryEightyPixelsAndTheCaption) {
  Open(Document(Series(1000, 0, kSecond, [](int) { return 0; })));
  f2->ScrollBar1->SetPosition(103);  // 00:01:40
  struct {
    const char* scale;
    std::vector<std::string> labels;  // "text@x", left to right
  } cases[] = {
      {"10秒",
       {"↑00:00:20@63", "↑00:00:40@143", "↑00:01:00@223", "↑00:01:20@303", "↑00:01:40@383",
        "↑00:02:00@463", "↑00:02:20@543", "↑00:02:40@623", "↑00:03:00@703", "↑00:03:20@783"}},
      {"秒",
       {"↑00:01:32.00@63", "↑00:01:34.00@143", "↑00:01:36.00@223", "↑00:01:38.00@303",
        "↑00:01:40.00@383", "↑00:01:42.00@463", "↑00:01:44.00@543", "↑00:01:46.00@623",
        "↑00:01:48.00@703", "↑00:01:50.00@783"}},
  };
  for (auto& k : cases) {
    Choose(k.scale);
    auto c = Paint();
    std::vector<std::pair<int, std::string>> found;
    for (auto& op : Texts(c)) {
      if (op.text.rfind("↑", 0) != 0) continue;
      EXPECT_EQ(op.y0, 425);
      EXPECT_EQ(op.color, ui::cl3DDkShadow);
      found.emplace_back(op.x0, op.text + "@" + std::to_string(op.x0));
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> labels;
    for (auto& f : found) labels.push_back(f.second);
    EXPECT_EQ(labels, k.labels) << k.scale;  // the cursor sample once
  }

  // Caption: where the passes stopped. 4 pixels a second: 90 samples to the
  // axis, 104 to the right edge.
  Choose("10秒");
  f2->ScrollBar1->SetPosition(500);
  Paint();
  EXPECT_EQ(f2->Caption(), "start= 410end=604");
}

TEST_F(GraphWindow, ShortDataIsDrawnWithoutReadingPastIt) {
  // Earlier, longer data stays in the store beyond the new data's end.
  Open(Document(Series(200, 0, kSecond, [](int) { return 50; })));
  Open(Document(Series(5, 0, kSecond, [](int i) { return i; })));
  Choose("10秒");
  f2->ScrollBar1->SetPosition(f2->ScrollBar1->Max());  // one past the last sample stored
  EXPECT_EQ(f2->Label4->Caption(), "01/11 00:00:04.000");
  auto c = Paint();
  EXPECT_EQ(f2->Caption(), "start= 3end=8");
  auto x = Strokes(c, ui::clFuchsia);
  ASSERT_EQ(x.size(), 4u);  // fuchsia: the average step is read inside the data
  for (auto& op : x) {
    EXPECT_GE(std::min(op.x0, op.x1), 388 - 16);
    EXPECT_LE(std::max(op.x0, op.x1), 388);
    EXPECT_NE(op.y0, 275 - 100);  // nothing of the earlier data
  }
}

}  // namespace
}  // namespace dorv::testing
