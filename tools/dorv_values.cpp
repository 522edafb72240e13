#include "tools/dorv_values.h"

#include <charconv>
#include <cstdio>

namespace dorv::cli {

namespace {

bool ParseInt(const std::string& text, int& value) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;
  auto [p, ec] = std::from_chars(begin, end, value);
  return begin != end && ec == std::errc() && p == end;
}

std::string TwoDigits(int v) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", v);
  return text;
}

}  // namespace

const std::vector<SettingInfo>& Settings() {
  // The choices are the window's list entries, in its order.
  static const std::vector<SettingInfo> settings = {
      {"interval",
       ValueKind::Choice,
       {"1sec", "5sec", "10sec", "15sec", "20sec", "30sec", "1min", "2min", "3min", "4min", "5min",
        "10min", "15min", "20min", "30min"},
       0,
       0,
       "record interval"},
      {"sampling",
       ValueKind::Choice,
       {"1mTRC", "2mTRC", "5mTRC", "10mTRC", "20mTRC", "1msec", "2msec", "5msec", "10msec",
        "20msec", "Real(32Hz)", "Trace(32Hz)", "16Hz", "8Hz"},
       0,
       0,
       "sampling period"},
      {"threshold", ValueKind::TwoDigit, {}, 0, 98, "threshold, in tenths of 1 G"},
      {"detection", ValueKind::OnOff, {}, 0, 0, "threshold-exceed detection"},
      {"buzzer", ValueKind::OnOff, {}, 0, 0, "buzzer"},
      {"model", ValueKind::Choice, {"10", "20", "50", "00", "02"}, 0, 0, "model (range code)"},
      {"unit", ValueKind::TwoDigit, {}, 1, 99, "unit number (the device-ID dialog)"},
      {"wait", ValueKind::TwoDigit, {}, 0, 99, "start setting (the wait-option dialog)"},
      {"hazard", ValueKind::Signed, {}, -999, 999, "hazard option"},
      {"gravity", ValueKind::OnOff, {}, 0, 0, "gravity option"},
      {"endless", ValueKind::OnOff, {}, 0, 0, "endless recording"},
      {"100hz", ValueKind::OnOff, {}, 0, 0, "100 Hz option"},
      {"display", ValueKind::Signed, {}, -999, 999, "display option"},
      {"df", ValueKind::Signed, {}, -999, 999, "DF option"},
      {"low-temp", ValueKind::Signed, {}, -999, 999, "low-temperature correction"},
  };
  return settings;
}

const SettingInfo* FindSetting(const std::string& name) {
  for (auto& s : Settings())
    if (s.name == name) return &s;
  return nullptr;
}

std::string AllowedValues(const SettingInfo& s) {
  switch (s.kind) {
    case ValueKind::Choice: {
      std::string all;
      for (auto& c : s.choices) all += (all.empty() ? "" : " ") + c;
      return all;
    }
    case ValueKind::OnOff:
      return "on off";
    case ValueKind::Signed:
    case ValueKind::TwoDigit:
      return std::to_string(s.min) + " to " + std::to_string(s.max);
  }
  return {};
}

bool NormaliseSetting(const SettingInfo& s, const std::string& value, std::string& out,
                      std::string& error) {
  bool ok = false;
  switch (s.kind) {
    case ValueKind::Choice:
      for (auto& c : s.choices)
        if (c == value) ok = true;
      out = value;
      break;
    case ValueKind::OnOff:
      ok = value == "on" || value == "off";
      out = value;
      break;
    case ValueKind::Signed:
    case ValueKind::TwoDigit: {
      int n = 0;
      ok = ParseInt(value, n) && n >= s.min && n <= s.max;
      if (ok) out = s.kind == ValueKind::TwoDigit ? TwoDigits(n) : std::to_string(n);
      break;
    }
  }
  if (!ok) error = s.name + " takes " + AllowedValues(s) + ", not \"" + value + "\"";
  return ok;
}

bool ParseReservation(const std::string& text, std::time_t now, std::string& out,
                      std::string& error) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0;
  char tail = 0;
  if (text.size() != 16 ||
      std::sscanf(text.c_str(), "%4d/%2d/%2d %2d:%2d%c", &y, &mo, &d, &h, &mi, &tail) != 5 ||
      text[4] != '/' || text[7] != '/' || text[10] != ' ' || text[13] != ':') {
    error = "reservation \"" + text + "\" is not of the form yyyy/mm/dd hh:mm";
    return false;
  }
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_isdst = -1;
  std::tm asked = tm;
  std::time_t at = std::mktime(&tm);
  // mktime moves a day that does not exist into the next month.
  if (at == static_cast<std::time_t>(-1) || tm.tm_year != asked.tm_year ||
      tm.tm_mon != asked.tm_mon || tm.tm_mday != asked.tm_mday || h > 23 || mi > 59) {
    error = "reservation " + text + ": no such date or time (その日は指定できません)";
    return false;
  }
  if (at <= now) {
    error = "reservation " + text + " is not in the future";
    return false;
  }
  std::tm nextYear{};
  localtime_r(&now, &nextYear);
  nextYear.tm_year += 1;
  nextYear.tm_isdst = -1;
  if (at >= std::mktime(&nextYear)) {
    error = "reservation " + text +
            " is a year or more ahead; the logger takes month, day and time only";
    return false;
  }
  out = TwoDigits(mo) + "/" + TwoDigits(d) + " " + TwoDigits(h) + ":" + TwoDigits(mi);
  return true;
}

bool ParseBurstSeconds(const std::string& text, int& seconds, std::string& error) {
  int n = 0;
  if (!ParseInt(text, n) || n < 5 || n > 360) {
    error = "burst takes whole seconds from 5 to 360, not \"" + text + "\"";
    return false;
  }
  seconds = n;
  return true;
}

}  // namespace dorv::cli
