#include "ui/datetime.h"

#include <sys/time.h>

#include <cmath>
#include <cstdio>
#include <ctime>

namespace dorv::ui {

namespace {
// Days from 1970-01-01 of a civil date (proleptic Gregorian).
long DaysFromCivil(long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long>(doe) - 719468;
}
void CivilFromDays(long z, int& y, int& m, int& d) {
  z += 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long yy = static_cast<long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}
const long kEpochOffset = 25569;  // days from 1899-12-30 to 1970-01-01
}  // namespace

TDateTime EncodeDateTime(const DateTimeParts& p) {
  long days = DaysFromCivil(p.year, p.month, p.day) + kEpochOffset;
  double frac = (p.hour * 3600000.0 + p.minute * 60000.0 + p.second * 1000.0 + p.msec) / 86400000.0;
  return static_cast<double>(days) + frac;
}

DateTimeParts DecodeDateTime(TDateTime dt) {
  DateTimeParts p;
  long days = static_cast<long>(std::floor(dt));
  long long ms = std::llround((dt - static_cast<double>(days)) * 86400000.0);
  if (ms >= 86400000) {
    ms -= 86400000;
    ++days;
  }
  CivilFromDays(days - kEpochOffset, p.year, p.month, p.day);
  p.hour = static_cast<int>(ms / 3600000);
  p.minute = static_cast<int>(ms / 60000 % 60);
  p.second = static_cast<int>(ms / 1000 % 60);
  p.msec = static_cast<int>(ms % 1000);
  return p;
}

TDateTime SystemNow() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  std::tm tm{};
  time_t t = tv.tv_sec;
  localtime_r(&t, &tm);
  return EncodeDateTime({tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                         tm.tm_sec, static_cast<int>(tv.tv_usec / 1000)});
}

std::string FormatYmdHms(TDateTime dt) {
  DateTimeParts p = DecodeDateTime(dt);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour,
                p.minute, p.second);
  return buf;
}

std::string DateToStr(TDateTime dt) {
  DateTimeParts p = DecodeDateTime(dt);
  char buf[20];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", p.year, p.month, p.day);
  return buf;
}

std::string TimeToStr(TDateTime dt) {
  DateTimeParts p = DecodeDateTime(dt);
  char buf[20];
  std::snprintf(buf, sizeof buf, "%d:%02d:%02d", p.hour, p.minute, p.second);
  return buf;
}

bool ParseYmdHms(const std::string& text, TDateTime& out) {
  DateTimeParts p;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%d/%d/%d %d:%d:%d%c", &p.year, &p.month, &p.day, &p.hour,
                  &p.minute, &p.second, &tail) != 6)
    return false;
  if (p.month < 1 || p.month > 12 || p.day < 1 || p.day > 31 || p.hour > 23 || p.minute > 59 ||
      p.second > 59 || p.hour < 0 || p.minute < 0 || p.second < 0)
    return false;
  out = EncodeDateTime(p);
  return true;
}

}  // namespace dorv::ui
