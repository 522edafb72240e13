// The graph window's paint and the statistics of the marked range.
#include "viewer/graph_paint.h"

#include <algorithm>
#include <cstdlib>

#include "app/main_window.h"
#include "ui/text.h"
#include "viewer/graph_window.h"

namespace dorv::viewer {

using ui::TColor;

namespace {

constexpr std::int64_t kGapMs = 180000;  // samples this far apart are not joined
constexpr int kDivision = 40;            // pixels per time division
constexpr int kLabelStep = 80;           // pixels between time labels
// Coordinates handed to the canvas; only a unit typed by hand reaches them.
constexpr std::int64_t kFar = std::int64_t{1} << 30;

int Coord(std::int64_t v) {
  return static_cast<int>(std::clamp(v, -kFar, kFar));
}

}  // namespace

int TimeOffset(std::int64_t dt, int mul, int div, int unit) {
  if (div < 1 || unit < 1) return 0;
  // The low 32 bits of the exact product, read as a signed number.
  const std::uint64_t product = static_cast<std::uint64_t>(dt) * static_cast<std::uint64_t>(mul);
  const auto wrapped = static_cast<std::int32_t>(static_cast<std::uint32_t>(product));
  return static_cast<int>(std::int64_t{wrapped} / div / unit);
}

std::string GridGLabel(int t, int divisor) {
  if (divisor < 1) return {};
  const int a = std::abs(t);
  std::string s = t > 0 ? "-" : "";
  s += std::to_string(a / divisor);
  if (divisor > 10) s += "." + std::to_string((a % divisor) * (1000 / divisor)).substr(0, 2);
  return s + "G";
}

std::string StatValueText(const char* head, int v, int divisor) {
  if (divisor < 1) return ui::Format("%s  :  --.---g    (%d)dgt", head, v);
  const long long a = std::llabs(static_cast<long long>(v));
  return ui::Format("%s  : %c%2lld.%03lldg    (%d)dgt", head, v < 0 ? '-' : ' ', a / divisor,
                    (a % divisor) * (1000 / divisor), v);
}

void TForm2::FormPaint(ui::TCanvas& c) {
  const int W = Width(), H = Height();
  const int y0 = PlotOriginY;
  const int x0Axis = PlotOriginX;
  const int D = Divisor();

  // The data's name; half the number of time divisions.
  Label5->SetCaption(app::Form1 ? app::Form1->DataSourceName : std::string());
  const int half = (W / kDivision) / 2;

  c.PenWidth = 1;
  c.BrushColor = ui::clWindow;  // texts hide the grid behind them
  c.BrushClear = false;
  auto line = [&c](TColor color, std::int64_t xa, int ya, std::int64_t xb, int yb) {
    c.PenColor = color;
    c.MoveTo(Coord(xa), ya);
    c.LineTo(Coord(xb), yb);
  };
  auto text = [&c](TColor color, std::int64_t x, int y, const std::string& s) {
    c.Font.Color = color;
    c.TextOut(Coord(x), y, s);
  };

  // Axes: the horizontal one three pixels thick, the vertical one two.
  line(ui::clGray, 0, y0 - 1, W, y0 - 1);
  line(ui::clBlack, 0, y0, W, y0);
  line(ui::clGray, 0, y0 + 1, W, y0 + 1);
  line(ui::clBlack, x0Axis, 0, x0Axis, H);
  line(ui::clBlack, x0Axis + 1, 0, x0Axis + 1, H);

  // Legend, with the axis check boxes beside their entries.
  const struct {
    int y;
    TColor color;
    const char* caption;
    ui::TCheckBox* box;
  } legend[] = {
      {20, ui::clRed, "'C (G*10)", nullptr}, {32, ui::clHighlight, "RH(G*10)", nullptr},
      {44, ui::clFuchsia, "X", CheckBox1},   {56, ui::clBlue, "Y", CheckBox2},
      {68, ui::clGreen, "Z", CheckBox3},
  };
  for (const auto& e : legend) {
    if (e.box) e.box->SetBounds(68, e.y - 6, e.box->Width(), e.box->Height());
    line(e.color, 38, e.y, 48, e.y);
    text(ui::cl3DDkShadow, 53, e.y - 5, e.caption);
  }

  // Horizontal grid every 10 counts with its temperature and G labels.
  for (int t = -100; t <= 100; t += 10) {
    const int y = y0 + 2 * t;
    TColor pen = ui::clSilver;
    if (t % 20 == 0) {
      pen = ui::clGrayText;
      if (t >= -40 && t <= 40) text(ui::clGrayText, t > 0 ? 35 : 40, y - 9, ui::Format("%d℃", -t));
    }
    if (t == 0) pen = ui::clBlack;
    line(pen, 0, y, W, y);
    if (D >= 1) text(ui::cl3DDkShadow, 5, y - 9, GridGLabel(t, D));
  }

  // Vertical grid; the middle line is the cursor line.
  int k = 0;
  for (int x = 0; x < W; x += kDivision) {
    ++k;
    TColor pen = ui::clGray;
    if (k == half) {
      pen = ui::clBlack;
      CursorX = x + x0Axis;
      CursorY = y0;
    }
    line(pen, x + x0Axis, y0 - 200, x + x0Axis, y0 + 200);
  }

  // The marked range: with the cursor line a box.
  if (RangeWidth != 0) {
    const int xr = CursorX + RangeWidth;
    line(ui::clLime, xr, CursorY - 100, xr, CursorY + 100);
    line(ui::clLime, CursorX, CursorY - 100, xr, CursorY - 100);
    line(ui::clLime, CursorX, CursorY + 100, xr, CursorY + 100);
  }

  // The cursor time above the cursor line.
  Label4->SetBounds(CursorX, CursorY - 200, Label4->Width(), Label4->Height());

  // Cursor sample and the average step. Only stored samples are read.
  const SampleStore& s = Samples;
  const int last = SampleEnd - 1;
  const int p = CursorSample();
  int start = p, end = p;
  RangeEndIndex = 0;
  if (last >= kFirstSample) {
    const std::int64_t t0 = s.Time[p];
    auto off = [&](int i) {
      return TimeOffset(s.Time[i] - t0, TimeScaleMul, TimeScaleDiv, TimeScaleUnit);
    };
    auto px = [&](int i) { return std::int64_t{CursorX} + off(i); };
    // The ten steps from the cursor sample; near the end of the data the ten
    // before its last sample (or as many as there are).
    const int k0 = std::max(kFirstSample, std::min(p, last - 10));
    const int k1 = std::min(k0 + 10, last);
    std::int64_t sum = 0;
    for (int j = k0; j < k1; ++j) sum += px(j + 1) - px(j);
    const std::int64_t a = k1 > k0 ? sum / (k1 - k0) : 0;

    auto timeLabel = [&](int i, std::int64_t x) {
      std::string_view l = s.Label[i].View();
      std::string_view hms = l.size() > 6 ? l.substr(6, TimeScaleMul == 100 ? 11 : 8) : "";
      text(ui::cl3DDkShadow, x - 5, CursorY + 150, "↑" + ui::Cp932ToUtf8(hms));
    };
    // Strokes from sample i at xa to sample j at xb, unless 3 minutes or more
    // lie between them; axis strokes go grey across a step wider than 2a.
    auto strokes = [&](int i, int j, std::int64_t xa, std::int64_t xb, bool wide) {
      if (std::llabs(s.Time[i] - s.Time[j]) >= kGapMs) return;
      line(ui::clRed, xa, CursorY - 2 * s.Temp[i], xb, CursorY - 2 * s.Temp[j]);
      if (s.Extra[i] != 0)
        line(ui::clHighlight, xa, CursorY - 2 * s.Extra[i], xb, CursorY - 2 * s.Extra[j]);
      if (CheckBox1->Checked())
        line(wide ? ui::clGray : ui::clFuchsia, xa, CursorY - 2 * s.X[i], xb, CursorY - 2 * s.X[j]);
      if (CheckBox2->Checked())
        line(wide ? ui::clGray : ui::clBlue, xa, CursorY - 2 * s.Y[i], xb, CursorY - 2 * s.Y[j]);
      if (CheckBox3->Checked())
        line(wide ? ui::clGray : ui::clGreen, xa, CursorY - 2 * s.Z[i], xb, CursorY - 2 * s.Z[j]);
    };

    // Forward pass to the right edge or the last sample; `end` is one past
    // the last sample drawn.
    int i = p;
    for (; i <= last; ++i) {
      const std::int64_t x0 = px(i);
      if (x0 > W) break;
      if (off(i) % kLabelStep == 0) timeLabel(i, x0);
      if (i == last) continue;
      const std::int64_t x1 = px(i + 1);
      if (RangeWidth != 0 && RangeEndIndex == 0 && x1 > std::int64_t{CursorX} + RangeWidth) {
        RangeStartIndex = p;
        RangeEndIndex = i;
        RangeEndText = "終了:" + LabelText(i);
      }
      strokes(i, i + 1, x0, x1, x1 - x0 > 2 * a);
    }
    end = i;

    // Backward pass to the vertical axis or the first sample.
    for (i = p; i > kFirstSample; --i) {
      const std::int64_t x0 = px(i), x1 = px(i - 1);
      if (x0 <= x0Axis && x1 <= x0Axis) break;
      const int o = off(i);
      if (o % kLabelStep == 0 && o != 0) timeLabel(i, x0);
      strokes(i, i - 1, x0, x1, x0 - x1 > 2 * a);
    }
    start = i;
  }

  // The drawn index range in the caption.
  SetCaption(ui::Format("start= %dend=%d", start, end));

  // Statistics of the marked range.
  if (RangeWidth != 0) ComputeStatistics();
}

void TForm2::ComputeStatistics() {
  // Everything is computed first and stored at the end, so the statistics
  // window never shows a half-finished result. Maximum, minimum and mean are
  // taken in raw counts: the same values as scaling by 100 and back.
  const int s = std::max(RangeStartIndex, 0);
  const int e = std::min(RangeEndIndex, kSampleCapacity);
  const int n = e - s;
  StatMean = 0;
  if (n <= 0) return;
  const auto& axis = StatAxis == 1 ? Samples.Y : StatAxis == 2 ? Samples.Z : Samples.X;
  int mx = axis[s], mn = axis[s];
  std::int64_t sum = 0;
  for (int i = s; i < e; ++i) {
    mx = std::max(mx, axis[i]);
    mn = std::min(mn, axis[i]);
    sum += axis[i];
  }
  int mean = static_cast<int>(sum / n);
  // A mean given in Edit1 (between -20 and 20 counts) replaces the computed
  // one; text that is not an integer is no override.
  int override = 0;
  if (Edit1->Text() != "VOID" && ui::TryStrToInt(Edit1->Text(), override) && override > -20 &&
      override < 20)
    mean = override;
  StatMax = mx;
  StatMin = mn;
  StatMean = mean;
  StatCount = n;
}

}  // namespace dorv::viewer
