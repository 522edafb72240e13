// Statistics of every axis of the marked range, the window that shows them,
// and the graph's wheel and right-button navigation.
#include <cmath>
#include <numbers>

#include "graph_fixture.h"
#include "viewer/all_axis_statistics_window.h"
#include "viewer/axis_statistics.h"

namespace dorv::testing {
namespace {

TEST(AxisStatistics, SummaryAgainstClosedForms) {
  constexpr double kAmplitude = 1.5;
  std::vector<double> sine;
  for (int k = 0; k < 1000; ++k)  // ten whole periods
    sine.push_back(kAmplitude * std::sin(2 * std::numbers::pi * k / 100));
  struct {
    const char* name;
    std::vector<double> values;
    int count;
    double min, max, mean, stddev, rms;
  } cases[] = {
      {"constant", {2.5, 2.5, 2.5, 2.5, 2.5}, 5, 2.5, 2.5, 2.5, 0, 2.5},
      // A sine over whole periods: mean 0, RMS and deviation A / sqrt(2).
      {"sine", sine, 1000, -kAmplitude, kAmplitude, 0, kAmplitude / std::sqrt(2.0),
       kAmplitude / std::sqrt(2.0)},
      {"one sample", {-0.3}, 1, -0.3, -0.3, -0.3, 0, 0.3},
      {"negative temperatures",
       {-5.5, -4.5, -5.0},
       3,
       -5.5,
       -4.5,
       -5.0,
       std::sqrt(1.0 / 6),
       std::sqrt((30.25 + 20.25 + 25) / 3)},
      {"empty", {}, 0, 0, 0, 0, 0, 0},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    const viewer::AxisSummary s = viewer::Summarize(c.values);
    EXPECT_EQ(s.count, c.count);
    EXPECT_NEAR(s.min, c.min, 1e-9);
    EXPECT_NEAR(s.max, c.max, 1e-9);
    EXPECT_NEAR(s.mean, c.mean, 1e-9);
    EXPECT_NEAR(s.stddev, c.stddev, 1e-9);
    EXPECT_NEAR(s.rms, c.rms, 1e-9);
  }
}

TEST(AxisStatistics, TemperatureWithItsTenthsFromTheDataLine) {
  struct {
    const char* line;
    double expected;
  } cases[] = {
      {"2023/01/11 07:35:18.000,  1, -1, 64, 23.4", 23.4},
      {"2023/01/11 07:35:18.000,  1, -1, 64, -0.5,12", -0.5},
      {"2023/01/11 07:35:18.000,  1, -1, 64,-12.4", -12.4},
      {"2023/01/11 07:35:18.000,  1, -1, 64", 99},  // no temperature: the fallback
      {"//↓Irregular Record //", 99},
  };
  for (auto& c : cases)
    EXPECT_DOUBLE_EQ(viewer::TemperatureOfLine(c.line, 99), c.expected) << c.line;
}

// A row of the table from values computed here, independently of the
// program: count, minimum, maximum, mean, deviation and RMS.
std::string ExpectedRow(const char* name, const std::vector<double>& v, int decimals) {
  double lo = v.empty() ? 0 : v[0], hi = lo, sum = 0, squares = 0;
  for (double x : v) lo = std::min(lo, x), hi = std::max(hi, x), sum += x, squares += x * x;
  const double n = v.empty() ? 1 : static_cast<double>(v.size());
  const double mean = sum / n;
  double dev = 0;
  for (double x : v) dev += (x - mean) * (x - mean);
  return ui::Format("%-7s %6d %9.*f %9.*f %9.*f %9.*f %9.*f", name, static_cast<int>(v.size()),
                    decimals, lo, decimals, hi, decimals, mean, decimals, std::sqrt(dev / n),
                    decimals, std::sqrt(squares / n));
}

class AllAxisWindow : public GraphWindow {
 protected:
  AllAxisWindow() {
    app_.CreateForm(viewer::Form7);
    f7 = viewer::Form7;
  }
  // 1000 samples a second apart; the ten from index 500 (00:08:17) carry
  // the values under test, the samples around them values that must not
  // count. Returns X, Y, Z (G) and the temperatures of the ten.
  std::vector<std::vector<double>> OpenWithRange(int divisor) {
    auto samples = Series(1000, 0, 1000, [](int) { return 0; });
    const char* temps[] = {" -3.5", " -2.5", " -0.5", "  1.0", "  0.0"};
    std::vector<std::vector<double>> axes(4);
    for (int k = 0; k < 10; ++k) {
      const int i = 500 + k;
      const int x = k == 4 ? 3 : k - 5, y = k == 4 ? 4 : 2, z = k == 4 ? 12 : -1;
      samples[i - 3] = DataLine(1, 11, (i - 3) * 1000LL, x, y, z, temps[k % 5]);
      axes[0].push_back(double(x) / divisor);
      axes[1].push_back(double(y) / divisor);
      axes[2].push_back(double(z) / divisor);
      axes[3].push_back(std::atof(temps[k % 5]));
    }
    for (int i : {499, 510})
      samples[i - 3] = DataLine(1, 11, (i - 3) * 1000LL, 90, 90, 90, " 80.0");
    Open(Document(samples), divisor);
    Choose("10秒");
    f2->ScrollBar1->SetPosition(500);
    Paint();
    f2->UserMouseDown(ui::TMouseButton::mbLeft, 428, 200);  // 40 pixels: 10 samples
    Paint();
    return axes;
  }
  viewer::TForm7* f7 = nullptr;
};

TEST_F(AllAxisWindow, ShowsEveryAxisOfTheMarkedRangeInPhysicalUnits) {
  for (int divisor : {10, 50}) {
    SCOPED_TRACE(divisor);
    const auto axes = OpenWithRange(divisor);
    ASSERT_EQ(f2->RangeStartIndex, 500);
    ASSERT_EQ(f2->RangeEndIndex, 510);
    Act([&] { f2->Button5->UserClick(); });
    EXPECT_TRUE(f7->Visible());
    EXPECT_EQ(f7->Label1->Caption(), "開始:01/11 00:08:17.000");
    EXPECT_EQ(f7->Label2->Caption(), "終了:01/11 00:08:27.000");
    EXPECT_EQ(f7->Label4->Caption(), ExpectedRow("X(G)", axes[0], 3));
    EXPECT_EQ(f7->Label5->Caption(), ExpectedRow("Y(G)", axes[1], 3));
    EXPECT_EQ(f7->Label6->Caption(), ExpectedRow("Z(G)", axes[2], 3));
    // Temperatures with their tenths, the negative ones included.
    EXPECT_EQ(f7->Label7->Caption(), ExpectedRow("温度(C)", axes[3], 2));
    // The vector (3, 4, 12) counts is 13 counts long.
    EXPECT_EQ(f7->Label8->Caption(), ui::Format("合成加速度の最大値: %.3f G", 13.0 / divisor));
    // The statistics window of one axis is as it was.
    f4->Timer1Timer();
    EXPECT_EQ(f4->Label5->Caption(), "●データ数  : 10個");
  }
}

TEST_F(AllAxisWindow, ARangeOfOneSampleAndNoRange) {
  OpenWithRange(10);
  f2->UserMouseDown(ui::TMouseButton::mbLeft, 392, 200);  // one sample wide
  Paint();
  ASSERT_EQ(f2->RangeEndIndex - f2->RangeStartIndex, 1);
  Act([&] { f2->Button5->UserClick(); });
  EXPECT_EQ(f7->Label4->Caption(), ExpectedRow("X(G)", {-0.5}, 3));
  EXPECT_EQ(f7->Label7->Caption(), ExpectedRow("温度(C)", {-3.5}, 2));

  f2->UserMouseDown(ui::TMouseButton::mbLeft, 300, 200);  // left of the cursor: no range
  Paint();
  f7->Timer1Timer();
  EXPECT_EQ(f7->Label4->Caption(), ExpectedRow("X(G)", {}, 3));
  EXPECT_NE(f7->Label8->Caption().find("範囲が指定されていません"), std::string::npos);
  // Closing the graph closes it.
  f2->Close();
  EXPECT_FALSE(f7->Visible());
}

TEST_F(AllAxisWindow, ReportSaysClearlyThatTheHeadlessProgramWritesNoPdf) {
  OpenWithRange(10);
  Act([&] { f2->Button6->UserClick(); });
  ASSERT_EQ(Modals().Messages().size(), 1u);
  EXPECT_NE(Modals().Messages()[0].find("PDFレポートを作成できません"), std::string::npos);
  EXPECT_TRUE(Modals().FileRequests().empty());  // no file asked for in vain
}

TEST_F(AllAxisWindow, WheelStepsThroughTheTimeScalesAndRightDragScrolls) {
  Open(Document(Series(1000, 0, 1000, [](int i) { return i % 10; })));
  Choose("分");
  struct {
    int delta;
    const char* scale;
    int unit;
  } wheel[] = {
      {120, "30秒", 75},          // away from the user: less time per division
      {-240, "10分", 1500},       // two notches toward the user
      {60, "10分", 1500},         // half a notch does nothing yet...
      {60, "分", 150},            // ...and makes one with the next half
      {-120 * 30, "日", 216000},  // the list's end holds
      {-120, "日", 216000},
  };
  for (auto& w : wheel) {
    f2->UserMouseWheel(w.delta, 400, 200);
    EXPECT_EQ(f2->ComboBox1->Text(), w.scale) << w.delta;
    EXPECT_EQ(f2->TimeScaleUnit, w.unit) << w.delta;
  }

  // 10 s a division: a sample (1 s) every 4 pixels. Dragging 40 pixels to
  // the right brings the sample ten before under the cursor line.
  Choose("10秒");
  f2->ScrollBar1->SetPosition(500);
  Paint();
  f2->UserMouseDown(ui::TMouseButton::mbRight, 300, 200);
  f2->UserMouseMove(320, 200);
  EXPECT_EQ(f2->ScrollBar1->Position(), 495);
  f2->UserMouseMove(340, 201);
  EXPECT_EQ(f2->ScrollBar1->Position(), 490);
  EXPECT_EQ(f2->Label4->Caption(), "01/11 00:08:07.000");  // the cursor time follows
  f2->UserMouseMove(260, 200);                             // back past the start: later samples
  EXPECT_EQ(f2->ScrollBar1->Position(), 510);
  f2->UserMouseUp(ui::TMouseButton::mbRight, 260, 200);
  EXPECT_EQ(f2->RangeWidth, 0);  // the drag left no range
  f2->UserMouseMove(500, 200);   // no button held: nothing
  EXPECT_EQ(f2->ScrollBar1->Position(), 510);
  // Beyond the data the scroll bar's range holds.
  f2->UserMouseDown(ui::TMouseButton::mbRight, 100, 200);
  f2->UserMouseMove(100 + 40 * 1000, 200);
  EXPECT_EQ(f2->ScrollBar1->Position(), f2->ScrollBar1->Min());
  f2->UserMouseUp(ui::TMouseButton::mbRight, 100 + 40 * 1000, 200);

  // A right click that does not move marks the range at the press, as every
  // press did; a drag from there leaves the range as it was before.
  f2->UserMouseDown(ui::TMouseButton::mbRight, 428, 200);
  EXPECT_EQ(f2->RangeWidth, 40);
  f2->UserMouseUp(ui::TMouseButton::mbRight, 429, 200);
  EXPECT_EQ(f2->RangeWidth, 40);
  f2->UserMouseDown(ui::TMouseButton::mbRight, 300, 200);
  EXPECT_EQ(f2->RangeWidth, 0);
  EXPECT_FALSE(f4->Visible());
  f2->UserMouseMove(340, 200);
  EXPECT_EQ(f2->RangeWidth, 40);
  EXPECT_TRUE(f4->Visible());
}

}  // namespace
}  // namespace dorv::testing
