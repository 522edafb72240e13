#pragma once
// Statistics of every axis over the graph window's marked range, in physical
// units: X, Y and Z in G (raw counts divided by the counts per G), the
// temperature in degrees Celsius with its tenths, and the peak of the
// acceleration vector's magnitude. Pure functions, no window needed.
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ui/line_store.h"

namespace dorv::viewer {

struct SampleStore;

// Count, extremes, mean, standard deviation and root mean square of a
// series. The standard deviation is the population one (divided by the
// count), so that a range of one sample has 0. All 0 for an empty series.
struct AxisSummary {
  int count = 0;
  double min = 0, max = 0, mean = 0, stddev = 0, rms = 0;
};
AxisSummary Summarize(std::span<const double> values);

// The statistics of one marked range.
struct RangeStatistics {
  AxisSummary x, y, z, temperature;  // G, G, G, degrees Celsius
  double peakMagnitude = 0;          // largest sqrt(x² + y² + z²), G
  int peakIndex = -1;                // the sample (document line) where it lies; -1 none
};

// Samples `start` to `end` (exclusive) of the store; the temperature with
// its tenths comes from the same document lines (`lines`, indexed like the
// store), since the store keeps only whole degrees. A range outside the
// lines or the store is cut to them; `divisor` below 1 gives no G values
// (count 0).
RangeStatistics ComputeRangeStatistics(const SampleStore& store, const ui::LineStore& lines,
                                       int start, int end, int divisor);
inline RangeStatistics ComputeRangeStatistics(const SampleStore& store,
                                              const std::vector<std::string>& lines, int start,
                                              int end, int divisor) {
  return ComputeRangeStatistics(store, ui::LineStore(lines), start, end, divisor);
}

// The temperature field (the fourth value) of a data line as a number with
// its tenths: " 23.4" is 23.4, " -0.5" is -0.5, "-2.4" is -2.4. A field that
// does not begin with a number gives `fallback`.
double TemperatureOfLine(std::string_view line, double fallback);

// The rows of the statistics table as shown (UTF-8): a head row, then X, Y, Z
// and temperature rows with count, minimum, maximum, mean, standard
// deviation and RMS, three decimals for G and two for degrees Celsius.
std::vector<std::string> StatisticsRows(const RangeStatistics& s);
// "合成加速度の最大値: 1.234 G" (or a dash without samples).
std::string PeakMagnitudeText(const RangeStatistics& s);

}  // namespace dorv::viewer
