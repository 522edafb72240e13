#include "files/export_csv.h"

#include <charconv>
#include <cstdlib>
#include <ctime>
#include <nlohmann/json.hpp>

#include "files/csv_file.h"
#include "ui/exceptions.h"
#include "ui/text.h"

namespace dorv::files {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (month may be out of
// range no more than a year either way; days may run on).
long long DaysFromCivil(long long y, int m, int d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(long long z, int& y, int& m, int& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

bool IsUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    const size_t len = b < 0x80         ? 1
                       : (b >> 5) == 6  ? 2
                       : (b >> 4) == 14 ? 3
                       : (b >> 3) == 30 ? 4
                                        : 0;
    if (len == 0 || i + len > s.size()) return false;
    for (size_t k = 1; k < len; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += len;
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

bool Digits(std::string_view s, int& out) {
  if (s.empty()) return false;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  out = v;
  return true;
}

bool Integer(std::string_view s, int& out) {
  s = Trim(s);
  if (s.empty()) return false;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && p == s.data() + s.size();
}

// A decimal number as the document prints temperatures (" 23.4", "-0.5").
bool Decimal(std::string_view s, std::string& out) {
  s = Trim(s);
  if (s.empty()) return false;
  size_t i = s[0] == '-' ? 1 : 0;
  bool digits = false, dot = false;
  for (; i < s.size(); ++i) {
    if (s[i] >= '0' && s[i] <= '9')
      digits = true;
    else if (s[i] == '.' && !dot)
      dot = true;
    else
      return false;
  }
  if (!digits) return false;
  out.assign(s);
  return true;
}

std::string Number(double v) {
  char buf[32];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, ec == std::errc() ? p : buf);
}

std::vector<std::string_view> SplitFields(std::string_view s) {
  std::vector<std::string_view> out;
  size_t start = 0;
  for (;;) {
    size_t comma = s.find(',', start);
    out.push_back(s.substr(start, comma == std::string_view::npos ? comma : comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return out;
}

struct Row {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, ms = 0;
  bool irregular = false;
  int x = 0, y = 0, z = 0;
  std::string temperature;  // empty when the field is not a number
  std::string extra;
};

// "yyyy/mm/dd hh:mm:ss.fff,x,y,z,temp[,extra]": a record's line (fraction
// of centiseconds and a millisecond digit) or a burst's (milliseconds, seconds
// counting on past 59).
bool ParseDataLine(std::string_view l, int refYear, Row& r) {
  if (l.size() < 21 || l[4] != '/' || l[7] != '/' || l[10] != ' ' || l[13] != ':' || l[16] != ':' ||
      l[19] != '.')
    return false;
  r.irregular = static_cast<unsigned char>(l[0]) == 0x81;
  if (r.irregular) {
    // The decoder wrote its marker over the year's first digit.
    int low = 0;
    if (!Digits(l.substr(1, 3), low)) return false;
    r.year = refYear / 1000 * 1000 + low;
  } else if (!Digits(l.substr(0, 4), r.year)) {
    return false;
  }
  if (!Digits(l.substr(5, 2), r.month) || !Digits(l.substr(8, 2), r.day) ||
      !Digits(l.substr(11, 2), r.hour) || !Digits(l.substr(14, 2), r.minute) ||
      !Digits(l.substr(17, 2), r.second))
    return false;
  if (r.month < 1 || r.month > 12 || r.day < 1 || r.day > 31 || r.hour > 23 || r.minute > 59)
    return false;
  const size_t comma = l.find(',', 20);
  if (comma == std::string_view::npos) return false;
  const std::string_view fraction = l.substr(20, comma - 20);
  if (fraction.size() < 3 || fraction.size() > 4) return false;
  int centis = 0, digit = 0;
  if (!Digits(fraction.substr(0, fraction.size() - 1), centis) ||
      !Digits(fraction.substr(fraction.size() - 1), digit))
    return false;
  r.ms = centis * 10 + digit;
  // Centiseconds of 100 and more: the decoder found the record irregular.
  if (r.ms >= 1000) r.irregular = true;
  const auto fields = SplitFields(l.substr(comma + 1));
  if (fields.size() < 4 || !Integer(fields[0], r.x) || !Integer(fields[1], r.y) ||
      !Integer(fields[2], r.z))
    return false;
  if (!Decimal(fields[3], r.temperature)) r.temperature.clear();
  int extra = 0;
  if (fields.size() >= 5 && Integer(fields[4], extra)) r.extra = std::to_string(extra);
  return true;
}

}  // namespace

long LocalUtcOffset(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;  // the zone's own rule for that date
  const std::time_t when = std::mktime(&t);
  if (when == static_cast<std::time_t>(-1)) return 0;
  // mktime normalised the fields to the local time it chose; their distance
  // from the UTC instant is the offset.
  const long long local = DaysFromCivil(t.tm_year + 1900LL, t.tm_mon + 1, t.tm_mday) * 86400 +
                          t.tm_hour * 3600LL + t.tm_min * 60LL + t.tm_sec;
  return static_cast<long>(local - static_cast<long long>(when));
}

std::string FormatUtcOffset(long seconds) {
  const char sign = seconds < 0 ? '-' : '+';
  const long a = std::labs(seconds) / 60;
  return ui::Format("%c%02ld:%02ld", sign, a / 60, a % 60);
}

std::vector<std::string> ExportCsvLines(const ui::LineStore& document, int countsPerG,
                                        const UtcOffsetFn& offset, ExportSummary& summary) {
  summary = {};
  int divisor = countsPerG;
  size_t first = 0;
  if (!document.empty() && document[0].starts_with("Start")) {
    const std::string_view head = document[0];
    first = 1;
    if (head.starts_with("Start Year=")) {
      int year = 0;
      size_t k = 11;
      while (k < head.size() && head[k] >= '0' && head[k] <= '9' && year < 100000)
        year = year * 10 + (head[k++] - '0');
      summary.startYear = year;
    }
    // Up to two digits after "@1G=", as the graph reads them.
    const size_t at = head.find("@1G=");
    int d = 0, n = 0;
    for (size_t k = at == std::string_view::npos ? head.size() : at + 4;
         k < head.size() && n < 2 && head[k] >= '0' && head[k] <= '9'; ++k, ++n)
      d = d * 10 + (head[k] - '0');
    if (n > 0) divisor = d;
  }
  if (divisor < 1)
    throw ui::Exception(ui::Format(
        "エクスポートできません: 1G あたりのカウント数が %d です (1 以上が必要です)", divisor));
  summary.countsPerG = divisor;

  std::vector<std::string> out{kExportHeader};
  out.reserve(document.size() + 1);
  int refYear = summary.startYear ? summary.startYear : 2000;
  for (size_t i = first; i < document.size(); ++i) {
    const std::string_view line = document[i];
    Row r;
    if (!ParseDataLine(line, refYear, r)) {
      // Column headers, the irregular-record marker and blank lines carry no
      // sample; anything else is counted.
      const bool known = line.empty() || line.starts_with("//") || line.starts_with("date time,") ||
                         line.starts_with("Date,") || line.starts_with("Start");
      if (!known) ++summary.skippedLines;
      continue;
    }
    refYear = r.year;
    // Normalised through a day count: a burst's seconds run past 59 and a
    // fraction of 100 centiseconds or more carries into the seconds.
    const long long local = DaysFromCivil(r.year, r.month, r.day) * 86400 + r.hour * 3600LL +
                            r.minute * 60LL + r.second + r.ms / 1000;
    int y, mo, d;
    CivilFromDays(local / 86400, y, mo, d);
    const int secOfDay = static_cast<int>(local % 86400);
    const int h = secOfDay / 3600, mi = secOfDay / 60 % 60, s = secOfDay % 60;
    const std::string time =
        ui::Format("%04d-%02d-%02dT%02d:%02d:%02d.%03d", y, mo, d, h, mi, s, r.ms % 1000) +
        FormatUtcOffset(offset(y, mo, d, h, mi, s));
    std::string row = time;
    row += ',' + Number(static_cast<double>(r.x) / divisor);
    row += ',' + Number(static_cast<double>(r.y) / divisor);
    row += ',' + Number(static_cast<double>(r.z) / divisor);
    row += ',' + r.temperature;
    row += r.irregular ? ",1," : ",0,";
    row += r.extra;
    out.push_back(std::move(row));
    if (summary.records == 0) summary.firstTime = time;
    summary.lastTime = time;
    ++summary.records;
    if (r.irregular) ++summary.irregular;
  }
  return out;
}

std::string ExportJsonText(const LoggerIdentity& identity, const ExportSummary& summary,
                           const std::string& csvFileName) {
  using nlohmann::ordered_json;
  // Texts that are not UTF-8 (a cp932 file name) are converted, so that the
  // JSON stays valid.
  auto text = [](const std::string& s) { return IsUtf8(s) ? s : ui::Cp932ToUtf8(s); };
  ordered_json j;
  j["csv"] = text(csvFileName);
  j["source"] = text(identity.source);
  j["logger"] = {
      {"model", text(identity.model)},
      {"unit_number", text(identity.unitNumber)},
      {"usb_serial_number", text(identity.usbSerial)},
      {"record_interval", text(identity.interval)},
      {"threshold", text(identity.threshold)},
  };
  j["counts_per_g"] = summary.countsPerG;
  j["start_year"] = summary.startYear;
  j["records"] = summary.records;
  j["irregular_records"] = summary.irregular;
  j["skipped_lines"] = summary.skippedLines;
  j["first_time"] = summary.firstTime;
  j["last_time"] = summary.lastTime;
  j["columns"] = {"time", "x_g", "y_g", "z_g", "temperature_c", "irregular", "extra"};
  return j.dump(2);
}

std::string ExportJsonPath(const std::string& csvPath) {
  const size_t slash = csvPath.find_last_of('/');
  const size_t dot = csvPath.find_last_of('.');
  const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return (hasExt ? csvPath.substr(0, dot) : csvPath) + ".json";
}

ExportSummary WriteExport(const std::string& csvPath, const ui::LineStore& document, int countsPerG,
                          const LoggerIdentity& identity, const UtcOffsetFn& offset) {
  ExportSummary summary;
  const std::vector<std::string> lines = ExportCsvLines(document, countsPerG, offset, summary);
  const size_t slash = csvPath.find_last_of('/');
  const std::string name = slash == std::string::npos ? csvPath : csvPath.substr(slash + 1);
  SaveLines(csvPath, lines);
  SaveLines(ExportJsonPath(csvPath), SplitLines(ExportJsonText(identity, summary, name)));
  return summary;
}

}  // namespace dorv::files
