#include "viewer/axis_statistics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "viewer/graph_store.h"

namespace dorv::viewer {

AxisSummary Summarize(std::span<const double> values) {
  AxisSummary s;
  if (values.empty()) return s;
  s.count = static_cast<int>(values.size());
  s.min = s.max = values.front();
  double sum = 0, squares = 0;
  for (double v : values) {
    s.min = std::min(s.min, v);
    s.max = std::max(s.max, v);
    sum += v;
    squares += v * v;
  }
  s.mean = sum / s.count;
  s.rms = std::sqrt(squares / s.count);
  // Deviations from the mean in a second pass: the difference of the two
  // sums loses the digits of a small spread around a large mean.
  double deviations = 0;
  for (double v : values) deviations += (v - s.mean) * (v - s.mean);
  s.stddev = std::sqrt(deviations / s.count);
  return s;
}

double TemperatureOfLine(std::string_view line, double fallback) {
  // The fourth comma-separated value after the date and time.
  size_t pos = line.find(',');
  for (int k = 0; k < 3 && pos != std::string_view::npos; ++k) pos = line.find(',', pos + 1);
  if (pos == std::string_view::npos) return fallback;
  std::string field(line.substr(pos + 1, 16));
  const size_t comma = field.find(',');
  if (comma != std::string::npos) field.resize(comma);
  char* end = nullptr;
  const double v = std::strtod(field.c_str(), &end);
  if (end == field.c_str() || !std::isfinite(v)) return fallback;
  return v;
}

RangeStatistics ComputeRangeStatistics(const SampleStore& store, const ui::LineStore& lines,
                                       int start, int end, int divisor) {
  RangeStatistics r;
  if (divisor < 1) return r;
  start = std::max(start, kFirstSample);
  end = std::min({end, static_cast<int>(store.X.size()), static_cast<int>(lines.size())});
  if (end <= start) return r;
  const size_t n = static_cast<size_t>(end - start);
  std::vector<double> x(n), y(n), z(n), t(n);
  for (size_t k = 0; k < n; ++k) {
    const size_t i = static_cast<size_t>(start) + k;
    x[k] = static_cast<double>(store.X[i]) / divisor;
    y[k] = static_cast<double>(store.Y[i]) / divisor;
    z[k] = static_cast<double>(store.Z[i]) / divisor;
    t[k] = TemperatureOfLine(lines[i], store.Temp[i]);
    const double m = std::sqrt(x[k] * x[k] + y[k] * y[k] + z[k] * z[k]);
    if (r.peakIndex < 0 || m > r.peakMagnitude) {
      r.peakMagnitude = m;
      r.peakIndex = static_cast<int>(i);
    }
  }
  r.x = Summarize(x);
  r.y = Summarize(y);
  r.z = Summarize(z);
  r.temperature = Summarize(t);
  return r;
}

namespace {

std::string Row(const char* name, const AxisSummary& a, int decimals) {
  char buf[160];
  std::snprintf(buf, sizeof buf, "%-7s %6d %9.*f %9.*f %9.*f %9.*f %9.*f", name, a.count, decimals,
                a.min, decimals, a.max, decimals, a.mean, decimals, a.stddev, decimals, a.rms);
  return buf;
}

}  // namespace

std::vector<std::string> StatisticsRows(const RangeStatistics& s) {
  // The head's Japanese words are two columns wide each in the window's
  // fixed font; the paddings line them up with the numbers.
  return {
      "軸        個数    最小値    最大値    平均値  標準偏差       RMS",
      Row("X(G)", s.x, 3),
      Row("Y(G)", s.y, 3),
      Row("Z(G)", s.z, 3),
      Row("温度(C)", s.temperature, 2),
  };
}

std::string PeakMagnitudeText(const RangeStatistics& s) {
  if (s.peakIndex < 0) return "合成加速度の最大値: -";
  char buf[64];
  std::snprintf(buf, sizeof buf, "合成加速度の最大値: %.3f G", s.peakMagnitude);
  return buf;
}

}  // namespace dorv::viewer
