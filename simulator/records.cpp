#include "simulator/records.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace dorv::sim {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

constexpr int64_t kMsPerDay = 86400000;

int64_t ToMs(int y, int mo, int d, int h, int mi, int s) {
  return DaysFromCivil(y, mo, d) * kMsPerDay + ((h * 60 + mi) * 60 + s) * 1000ll;
}

void FillTime(Sample& s, int64_t ms) {
  int64_t days = ms / kMsPerDay;
  int64_t in_day = ms % kMsPerDay;
  CivilFromDays(days, s.year, s.month, s.day);
  s.hour = static_cast<int>(in_day / 3600000);
  s.minute = static_cast<int>(in_day / 60000 % 60);
  s.second = static_cast<int>(in_day / 1000 % 60);
  s.millisecond = static_cast<int>(in_day % 1000);
}

int ClampByte(int v) {
  return std::clamp(v, -128, 127);
}

}  // namespace

uint32_t Rng::Next() {
  // splitmix64, upper half
  state_ += 0x9E3779B97F4A7C15ull;
  uint64_t z = state_;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return static_cast<uint32_t>((z ^ (z >> 31)) >> 32);
}

Record PackRecord(const Sample& s) {
  Record r;
  const int counter = s.year & 3;
  r.bytes[0] = static_cast<uint8_t>((s.month & 15) << 4 | counter << 2 | ((s.day >> 3) & 3));
  r.bytes[1] = static_cast<uint8_t>((s.day & 7) << 5 | (s.hour & 31));
  r.bytes[2] = static_cast<uint8_t>((s.minute & 63) << 2 | ((s.second >> 4) & 3));
  int whole = s.temp_tenths / 10;  // truncates towards zero
  int tenths = std::abs(s.temp_tenths % 10);
  if (s.temp_tenths < 0) whole -= 1;
  r.bytes[3] = static_cast<uint8_t>((s.second & 15) << 4 | tenths);
  r.bytes[4] = static_cast<uint8_t>(ClampByte(s.x));
  r.bytes[5] = static_cast<uint8_t>(ClampByte(s.y));
  r.bytes[6] = static_cast<uint8_t>(ClampByte(s.z));
  r.bytes[7] = static_cast<uint8_t>(ClampByte(whole));
  r.centis = s.millisecond / 10;
  r.extra = std::clamp(s.extra, 0, 255);
  r.millis = s.millisecond % 10;
  return r;
}

std::string EncodeRecord(const Record& r, bool millis_digit) {
  char buf[32];
  int n = std::snprintf(buf, sizeof buf, "%02X%02X%02X%02X%02X%02X%02X%02X", r.bytes[0], r.bytes[1],
                        r.bytes[2], r.bytes[3], r.bytes[4], r.bytes[5], r.bytes[6], r.bytes[7]);
  std::string line(buf, n);
  if (r.centis < 0) return line;
  std::snprintf(buf, sizeof buf, "%02X", r.centis & 0xFF);
  line += buf;
  if (r.extra < 0) return line;
  std::snprintf(buf, sizeof buf, "%02X", r.extra & 0xFF);
  line += buf;
  if (millis_digit && r.millis >= 0) {
    std::snprintf(buf, sizeof buf, "%X", r.millis & 0xF);
    line += buf;
  }
  return line;
}

std::vector<Record> GenerateRecording(int count, uint32_t seed, bool irregular) {
  std::vector<Record> out;
  for (const Sample& s : GenerateSamples(count, seed, irregular)) out.push_back(PackRecord(s));
  return out;
}

std::vector<Sample> GenerateSamples(int count, uint32_t seed, bool irregular) {
  std::vector<Sample> out;
  if (count <= 0) return out;
  out.reserve(count);
  Rng rng(seed);
  const int y = kRecordingStartYear;
  // Very short recordings stay in the first session, so "@Y" stays right.
  const int n1 = count < 3 ? count : count / 3, n2 = count < 3 ? 0 : count / 3;
  // Session starts. The second one begins early enough that even the
  // shortest steps (500 ms) reach midnight within its first half.
  const int64_t starts[3] = {
      ToMs(y, 11, 30, 14, 0, 0),
      ToMs(y + 1, 1, 1, 0, 0, 0) - static_cast<int64_t>(n2 / 2) * 500,
      ToMs(y + 1, 1, 2, 9, 0, 0),
  };
  int64_t t = starts[0];
  bool below_zero_seen = false;
  Sample prev;
  for (int i = 0; i < count; ++i) {
    if (i > 0 && i == n1)
      t = starts[1];
    else if (i > 0 && i == n1 + n2)
      t = starts[2];
    else if (i > 0)
      t += 500 + rng.Range(0, 999);

    Sample s;
    FillTime(s, t);
    // Temperature: one slow cold spell over the whole recording, plus noise.
    const double phase = count > 1 ? static_cast<double>(i) / (count - 1) : 0.0;
    int temp = static_cast<int>(std::lround(250.0 - 330.0 * std::sin(std::numbers::pi * phase)));
    temp += rng.Range(-2, 2);
    if (temp < 0 && !below_zero_seen) {
      temp = -4;  // make sure a value between 0 and -1 degree is present
      below_zero_seen = true;
    }
    s.temp_tenths = temp;
    // Axes at the default 10 counts per G: at rest with gravity on z, now
    // and then a knock.
    s.x = rng.Range(-2, 2);
    s.y = rng.Range(-2, 2);
    s.z = 10 + rng.Range(-2, 2);
    if (rng.Range(0, 39) == 0) {
      s.x += rng.Range(-100, 100);
      s.y += rng.Range(-60, 60);
      s.z += rng.Range(-100, 100);
    }
    s.extra = std::max(0, 99 - i * 60 / count);  // battery level, slowly falling
    if (irregular && i % 50 == 49) {
      // The clock did not advance: the time of the previous record again.
      s.year = prev.year;
      s.month = prev.month;
      s.day = prev.day;
      s.hour = prev.hour;
      s.minute = prev.minute;
      s.second = prev.second;
      s.millisecond = prev.millisecond;
    }
    out.push_back(s);
    prev = s;
  }
  return out;
}

}  // namespace dorv::sim
