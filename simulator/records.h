#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace dorv::sim {

// One stored record as the logger keeps it: eight bytes plus the optional
// trailing fields (a negative value means the field is not sent).
//   B0: month (7..4), year counter (3..2), day bits 4..3 (1..0)
//   B1: day bits 2..0 (7..5), hour (4..0)
//   B2: minute (7..2), second bits 5..4 (1..0)
//   B3: second bits 3..0 (7..4), tenths of a degree (3..0)
//   B4..B6: x, y, z in raw counts, signed; B7: temperature, signed
struct Record {
  uint8_t bytes[8] = {};
  int centis = -1;  // centiseconds 0..99
  int extra = -1;   // extra value 0..255 (sent only with the centiseconds)
  int millis = -1;  // millisecond digit 0..9 (sent only in the millisecond modes)
};

// A point in time with millisecond resolution and the measured values, the
// input from which a record is packed.
struct Sample {
  int year = 2015, month = 1, day = 1, hour = 0, minute = 0, second = 0, millisecond = 0;
  int x = 0, y = 0, z = 0;
  int temp_tenths = 0;  // degrees Celsius times ten
  int extra = 0;
};

// Packs a sample. The year counter is the year modulo 4. A negative
// temperature is stored one below its whole part with the tenths unchanged
// (-2.4 is stored as -3 with tenths 4; -0.4 as -1 with tenths 4).
Record PackRecord(const Sample& s);

// The record as a reply line: 16 upper-case hex digits, then the
// centiseconds and the extra value (two hex digits each) when present, then
// the millisecond digit (one hex digit) when `millis_digit` is set and the
// record carries one.
std::string EncodeRecord(const Record& r, bool millis_digit);

// Year of the first generated record (reported by "@Y").
inline constexpr int kRecordingStartYear = 2015;
// Most records the logger can hold (the "@C" capacity).
inline constexpr int kRecordCapacity = 72020;

// The stored recording: `count` records in three sessions (from 30 November,
// around the turn of the year 31 December / 1 January, and from 2 January),
// so that the month changes and the year changes; records are 0.5 to 1.5 s
// apart within a session; the temperature falls from 25 degrees to -8 and
// rises again, passing values between 0 and -1. Deterministic from `seed`.
// With `irregular`, every 50th record repeats the time of the one before.
std::vector<Record> GenerateRecording(int count, uint32_t seed, bool irregular);
// The samples that recording is packed from (what the logger measured).
std::vector<Sample> GenerateSamples(int count, uint32_t seed, bool irregular);

// A small deterministic generator shared by the simulator's data sources.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull) {}
  uint32_t Next();
  // Uniform in [lo, hi].
  int Range(int lo, int hi) {
    return lo + static_cast<int>(Next() % static_cast<uint32_t>(hi - lo + 1));
  }

 private:
  uint64_t state_;
};

}  // namespace dorv::sim
