#include "link/record_decoding.h"

#include <cstdio>
#include <cstring>
#include <limits>

#include "base/hex.h"

namespace dorv::link {

namespace {

// Two hex digits at position i of s (len characters); missing or other
// characters count as "0".
int Byte(const char* s, size_t len, size_t i) {
  int hi = i < len ? base::HexDigitValue(s[i]) : 0;
  int lo = i + 1 < len ? base::HexDigitValue(s[i + 1]) : 0;
  return (hi < 0 ? 0 : hi) * 16 + (lo < 0 ? 0 : lo);
}

// A hexadecimal number of at most two digits at position i, read as far as
// digits go (0 when none).
int HexField(const char* s, size_t len, size_t i) {
  int v = 0, n = 0;
  for (; n < 2 && i + n < len; ++n) {
    int d = base::HexDigitValue(s[i + n]);
    if (d < 0) break;
    v = v * 16 + d;
  }
  return v;
}

int Signed8(int b) {
  return b >= 128 ? b - 256 : b;
}

}  // namespace

bool DecodeRecord(app::FixedText<128>& lineBuf, int& decodeYear, int hasMillisDigit,
                  RecordDecodeState& st) {
  const char* s = lineBuf.c_str();
  size_t len = std::strlen(s);

  // The date and time bytes.
  int b0 = Byte(s, len, 0), b1 = Byte(s, len, 2), b2 = Byte(s, len, 4), b3 = Byte(s, len, 6);
  // The millisecond digit of the millisecond sampling modes.
  int d = 0;
  if (hasMillisDigit == 1 && len > 20) {
    int v = base::HexDigitValue(s[20]);
    d = v < 0 ? 0 : v;
  }
  // The epoch counter wraps once into a second range.
  int epoch = (b0 >> 2) & 3;
  if (epoch == 0 && st.EpochBits == 3) st.EpochCarry = 4;
  st.EpochBits = epoch | st.EpochCarry;
  // Date and time fields; a month going back starts a new year.
  int month = b0 >> 4;
  int day = ((b0 & 3) << 3) | (b1 >> 5);
  int hour = b1 & 0x1F;
  int minute = b2 >> 2;
  int second = ((b2 & 3) << 4) | (b3 >> 4);
  int prevMonth = st.DecodeMonth;
  // The year is the logger's text: one already at the largest number stays.
  if (month < st.DecodeMonth && decodeYear < std::numeric_limits<int>::max()) ++decodeYear;
  st.DecodeMonth = month;
  // Axes and temperature, signed.
  int x = Signed8(Byte(s, len, 8)), y = Signed8(Byte(s, len, 10)), z = Signed8(Byte(s, len, 12));
  int t = Signed8(Byte(s, len, 14));
  // Centiseconds with the tenths of a degree, and the extra value.
  bool hasC = len > 16;
  int c = hasC ? HexField(s, len, 16) : 0;
  char tenths = hasC ? s[7] : '0';
  bool hasE = len > 18;
  int e = hasE ? HexField(s, len, 18) : 0;
  // Keys for the irregularity test.
  st.PrevTimeKey = st.TimeKey;
  st.PrevDateKey = st.DateKey;
  st.DateKey = st.EpochBits * 10000 + month * 100 + day;
  st.TimeKey = hour * 10000000 + minute * 100000 + second * 1000 + c * 10 + d;
  // The data line; a temperature between 0 and -1 degree prints "-0.".
  char out[128];
  if (t == -1) {
    if (hasE)
      std::snprintf(out, sizeof out, "%4d/%2d/%2d %2d:%2d:%2d.%2d%1d,%3d,%3d,%3d, -0.%c,%2d",
                    decodeYear, month, day, hour, minute, second, c, d, x, y, z, tenths, e);
    else
      std::snprintf(out, sizeof out, "%4d/%2d/%2d %2d:%2d:%2d.%2d%1d,%3d,%3d,%3d, -0.%c",
                    decodeYear, month, day, hour, minute, second, c, d, x, y, z, tenths);
  } else {
    int whole = t < -1 ? t + 1 : t;
    if (hasE)
      std::snprintf(out, sizeof out, "%4d/%2d/%2d %2d:%2d:%2d.%2d%1d,%3d,%3d,%3d,%3d.%c,%2d",
                    decodeYear, month, day, hour, minute, second, c, d, x, y, z, whole, tenths, e);
    else
      std::snprintf(out, sizeof out, "%4d/%2d/%2d %2d:%2d:%2d.%2d%1d,%3d,%3d,%3d,%3d.%c",
                    decodeYear, month, day, hour, minute, second, c, d, x, y, z, whole, tenths);
  }
  // A time that does not advance marks the record.
  if (st.PrevTimeKey != 0 && st.PrevTimeKey >= st.TimeKey && st.PrevDateKey >= st.DateKey &&
      (st.DateKey != 0 || prevMonth == month)) {
    st.IrregularSeen = 1;
    out[0] = kIrregularMark;
  }
  if (c >= 100) st.IrregularSeen = 1;
  // Tens digits of month, day, hour, minute, second and centiseconds.
  size_t outLen = std::strlen(out);
  for (size_t pos : {5, 8, 11, 14, 17, 20})
    if (pos < outLen && out[pos] == ' ') out[pos] = '0';
  lineBuf.Set(std::string_view(out, outLen));
  return st.IrregularSeen == 1;
}

std::string BurstTemperatureText(std::string_view secondLine) {
  std::string t;
  for (size_t i = 32; i < 37; ++i) t += i < secondLine.size() ? secondLine[i] : ' ';
  if (t[0] != '-') t = " " + t.substr(0, 4);
  return t;
}

std::string BurstLine(std::string_view prefix17, int row, std::string_view rowText,
                      const std::string& temperature) {
  auto axis = [&](size_t i) { return Signed8(Byte(rowText.data(), rowText.size(), i)); };
  char out[96];
  std::snprintf(out, sizeof out, "%.*s%.2d.%.3d,%3d,%3d,%3d,%s",
                static_cast<int>(prefix17.size() < 17 ? prefix17.size() : 17), prefix17.data(),
                row * 5 / 1000, row * 5 % 1000, axis(1), axis(3), axis(5), temperature.c_str());
  return out;
}

}  // namespace dorv::link
