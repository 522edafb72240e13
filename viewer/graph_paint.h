#pragma once
// Pieces of the graph's paint and of the statistics texts.
#include <cstdint>
#include <string>

namespace dorv::viewer {

// Horizontal pixel offset of a time difference dt (ms) from the cursor
// sample: ((dt * mul) / div) / unit in 32-bit signed arithmetic, the product
// wrapped to 32 bits as such arithmetic does, divisions truncating toward
// zero. A divisor below 1 gives 0 (callers refuse such scales).
int TimeOffset(std::int64_t dt, int mul, int div, int unit);

// G label of the horizontal grid line t (-100 .. 100 counts) for `divisor`
// counts per G: "10G", "-0.20G" ...; empty when divisor < 1.
std::string GridGLabel(int t, int divisor);

// A statistics line: head ("●最大値") then the value v in G and in counts,
// "%c%2d.%3sg    (%d)dgt" after "  : ". With divisor < 1 the G part shows
// dashes.
std::string StatValueText(const char* head, int v, int divisor);

}  // namespace dorv::viewer
