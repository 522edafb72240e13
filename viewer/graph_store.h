#pragma once
// The graph window's per-sample store and the parser that fills it from the
// handed-over document lines.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/line_store.h"
#include "ui/zeroed_array.h"

namespace dorv::viewer {

constexpr int kSampleCapacity = 72500;  // entries per series
constexpr int kFirstSample = 3;         // first line parsed (the scroll bar's minimum)

// "MM/DD hh:mm:ss.mmm": 18 characters of the data line, cp932 bytes.
struct SampleLabelText {
  char text[19] = {};
  std::string_view View() const { return std::string_view(text); }
};

// One entry per document line, indexed by the line number (entries 0 to 2
// are never filled). Times are milliseconds since midnight of the first
// line's day plus a day for every change of the day of month; they are kept
// in 64 bits so that weeks of data neither wrap nor look like backward steps.
// The entries start as zeros, and only those written take memory.
struct SampleStore {
  SampleStore();
  ui::ZeroedArray<SampleLabelText> Label;
  ui::ZeroedArray<std::int64_t> Time;
  ui::ZeroedArray<int> X, Y, Z, Temp, Extra;
};

// How far a parse got; filled as it goes, so that it is meaningful also when
// the parse stops at a line it cannot read.
struct ParseProgress {
  int end = kFirstSample;  // one past the last line stored
  int backwardSteps = 0;   // samples earlier than the one before them
  bool haveFirst = false;  // firstTime holds the first line's time
  std::string firstTime;   // "MM/DD hh:mm:ss" of the first line (cp932)
  std::string lastTime;    // the same of the last line stored
};

// Clears the times and axis values, then parses lines kFirstSample while
// i < lineCount - 3 (and inside the store and the given lines). A date or time
// part that is not a number raises ui::EConvertError with the toolkit's
// message; the lines before it stay stored and `progress` says how far it got.
void ParseSamples(const std::vector<std::string>& lines, int lineCount, SampleStore& store,
                  ParseProgress& progress);
void ParseSamples(const ui::LineStore& lines, int lineCount, SampleStore& store,
                  ParseProgress& progress);

// The value of a value field as "%d" scans it: leading white space, a sign,
// then digits up to the first other character; at most the first 7
// characters count; no digits gives 0.
int ScanField(std::string_view field);

}  // namespace dorv::viewer
