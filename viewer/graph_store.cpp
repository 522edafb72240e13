#include "viewer/graph_store.h"

#include <algorithm>
#include <cstring>

#include "ui/text.h"

namespace dorv::viewer {

namespace {

constexpr std::int64_t kDayMs = 86400000;

// Characters pos..pos+len-1 (1-based) of s, clipped to s.
std::string_view Copy(std::string_view s, size_t pos, size_t len) {
  if (pos < 1 || pos > s.size()) return {};
  return s.substr(pos - 1, len);
}

// A date or time part through the toolkit's integer conversion; plain digits
// are read here directly, anything else goes through StrToInt and its error.
int PartToInt(std::string_view part) {
  if (!part.empty() && part.size() <= 3 &&
      std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    int v = 0;
    for (char c : part) v = v * 10 + (c - '0');
    return v;
  }
  return ui::StrToInt(ui::Cp932ToUtf8(part));
}

bool IsScanSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

SampleStore::SampleStore()
    : Label(kSampleCapacity),
      Time(kSampleCapacity),
      X(kSampleCapacity),
      Y(kSampleCapacity),
      Z(kSampleCapacity),
      Temp(kSampleCapacity),
      Extra(kSampleCapacity) {}

int ScanField(std::string_view field) {
  field = field.substr(0, 7);
  size_t i = 0;
  while (i < field.size() && IsScanSpace(field[i])) ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == '-' || field[i] == '+')) negative = field[i++] == '-';
  int v = 0;  // at most 7 digits: no overflow
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) v = v * 10 + (field[i] - '0');
  return negative ? -v : v;
}

namespace {

template <class Lines>
void Parse(const Lines& lines, int lineCount, SampleStore& store, ParseProgress& progress) {
  store.Time.Clear();
  store.X.Clear();
  store.Y.Clear();
  store.Z.Clear();
  progress = ParseProgress{};

  // The last three lines are never parsed; nothing beyond the store or the
  // lines actually present is read.
  const int limit = std::min({lineCount - 3, kSampleCapacity, static_cast<int>(lines.size())});
  std::int64_t dayOffset = 0;
  int day = 0;
  for (int i = kFirstSample; i < limit; ++i) {
    progress.end = i;  // a conversion error leaves the lines before i stored
    std::string_view line = lines[i];
    std::string_view p = line.size() > 5 ? line.substr(5) : std::string_view();

    int previousDay = day;
    day = PartToInt(Copy(p, 4, 2));
    if (i == kFirstSample) {
      progress.firstTime.assign(Copy(p, 1, 14));
      progress.haveFirst = true;
      previousDay = day;
    }
    if (previousDay != day) dayOffset += kDayMs;

    SampleLabelText& label = store.Label[i];
    std::string_view labelText = Copy(p, 1, 18);
    std::memset(label.text, 0, sizeof label.text);
    std::memcpy(label.text, labelText.data(), labelText.size());

    std::int64_t t = std::int64_t{PartToInt(Copy(p, 13, 2))} * 1000;
    t += PartToInt(Copy(p, 16, 3));
    t += std::int64_t{PartToInt(Copy(p, 10, 2))} * 60000;
    t += std::int64_t{PartToInt(Copy(p, 7, 2))} * 3600000;
    t += dayOffset;
    store.Time[i] = t;
    if (i > kFirstSample && t < store.Time[i - 1]) ++progress.backwardSteps;

    // Up to five comma-separated values after the comma at position 19.
    int values[5] = {0, 0, 0, 0, 0};
    std::string_view rest = p.size() > 19 ? p.substr(19) : std::string_view();
    for (int f = 0; f < 5 && !rest.empty(); ++f) {
      size_t comma = rest.find(',');
      values[f] = ScanField(rest.substr(0, comma));
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
    store.X[i] = values[0];
    store.Y[i] = values[1];
    store.Z[i] = values[2];
    store.Temp[i] = values[3];
    store.Extra[i] = values[4];

    progress.lastTime.assign(Copy(p, 1, 14));
    progress.end = i + 1;
  }
}

}  // namespace

void ParseSamples(const std::vector<std::string>& lines, int lineCount, SampleStore& store,
                  ParseProgress& progress) {
  Parse(lines, lineCount, store, progress);
}

void ParseSamples(const ui::LineStore& lines, int lineCount, SampleStore& store,
                  ParseProgress& progress) {
  Parse(lines, lineCount, store, progress);
}

}  // namespace dorv::viewer
