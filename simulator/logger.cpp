#include "simulator/logger.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <numbers>
#include <string_view>

#include "simulator/intel_hex.h"

namespace dorv::sim {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Checks `text` against a pattern in which 'd' stands for a digit and every
// other character for itself.
bool Matches(std::string_view text, std::string_view pattern) {
  if (text.size() != pattern.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (pattern[i] == 'd' ? !IsDigit(text[i]) : text[i] != pattern[i]) return false;
  }
  return true;
}

int Num(std::string_view text, size_t at, size_t len) {
  int v = 0;
  for (size_t i = at; i < at + len; ++i) v = v * 10 + (text[i] - '0');
  return v;
}

int DaysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
  return kDays[m - 1];
}

int64_t CalendarSeconds(int y, int mo, int d, int h, int mi, int s) {
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  return static_cast<int64_t>(timegm(&tm));
}

// "yyyy/mm/dd hh:mm:ss" as calendar seconds (the logger keeps no time zone).
std::optional<int64_t> ParseDateTime(std::string_view t) {
  if (!Matches(t, "dddd/dd/dd dd:dd:dd")) return std::nullopt;
  const int y = Num(t, 0, 4), mo = Num(t, 5, 2), d = Num(t, 8, 2);
  const int h = Num(t, 11, 2), mi = Num(t, 14, 2), s = Num(t, 17, 2);
  if (mo < 1 || mo > 12 || d < 1 || d > DaysInMonth(y, mo) || h > 23 || mi > 59 || s > 59)
    return std::nullopt;
  return CalendarSeconds(y, mo, d, h, mi, s);
}

bool ValidReserve(std::string_view t) {
  if (!Matches(t, "dd/dd dd:dd")) return false;
  const int mo = Num(t, 0, 2), d = Num(t, 3, 2), h = Num(t, 6, 2), mi = Num(t, 9, 2);
  return mo >= 1 && mo <= 12 && d >= 1 && d <= DaysInMonth(2016, mo) && h <= 23 && mi <= 59;
}

// An optional "-" and digits, as the signed commands carry them.
std::optional<int> ParseSigned(std::string_view t) {
  bool neg = !t.empty() && t[0] == '-';
  if (neg) t.remove_prefix(1);
  if (t.empty() || t.size() > 4) return std::nullopt;
  int v = 0;
  for (char c : t) {
    if (!IsDigit(c)) return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return neg ? -v : v;
}

// Option values are shown in three characters: a sign (or the hundreds
// digit) and two digits.
int ClampOption(int v) {
  return std::clamp(v, -99, 999);
}

// One six-character group of an "@A"/"@F" line: blank, sign or hundreds
// digit, label, "=", two digits. In a line "@A" + blank + mode + groups the
// sign sits at s+3+6g and the digits at s+6+6g and s+7+6g.
std::string OptionGroup(char label, int v) {
  char sign = v < 0 ? '-' : (v >= 100 ? static_cast<char>('0' + v / 100) : ' ');
  char buf[8];
  std::snprintf(buf, sizeof buf, " %c%c=%02d", sign, label, std::abs(v) % 100);
  return buf;
}

std::string Fmt(const char* format, auto... args) {
  char buf[160];
  int n = std::snprintf(buf, sizeof buf, format, args...);
  return std::string(buf, static_cast<size_t>(std::clamp(n, 0, static_cast<int>(sizeof buf) - 1)));
}

Reply Lines(std::vector<std::string> lines) {
  Reply r;
  r.lines = std::move(lines);
  return r;
}
// Bytes without lines, with or without the prompt.
Reply Bytes(std::string tail, bool prompt, Reply::Next next = Reply::Next::kNone) {
  Reply r;
  r.tail = std::move(tail);
  r.prompt = prompt;
  r.next = next;
  return r;
}
Reply Rejected() {
  return Bytes("?", true);
}
Reply Plain() {
  return Reply{};
}
Reply Silent() {
  return Bytes("", false);
}

}  // namespace

Logger::Logger(std::vector<Record> records, uint32_t seed, const Faults& faults)
    : records_(std::move(records)), faults_(faults), rng_(seed ^ 0x5A5A5A5Au) {}

int64_t Logger::LoggerSeconds(Clock::time_point now) const {
  std::time_t t = Clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  return static_cast<int64_t>(timegm(&local)) + clock_offset_;
}

std::string Logger::TimeText(Clock::time_point now) const {
  std::time_t t = static_cast<std::time_t>(LoggerSeconds(now));
  std::tm tm{};
  gmtime_r(&t, &tm);
  return Fmt("%04d/%02d/%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
             tm.tm_hour, tm.tm_min, tm.tm_sec);
}

int Logger::Divisor() const {
  if (model_ == "00") return 1;
  if (model_ == "02") return 50;
  if (model_ == "20") return 5;
  if (model_ == "50") return 2;
  return 10;
}

void Logger::UpdateRun(Clock::time_point now) {
  if (run_ == Run::kReserved && reserve_at_ && LoggerSeconds(now) >= *reserve_at_) {
    run_ = Run::kRecording;
    reserve_at_.reset();
  }
}

std::string Logger::Identification() const {
  return Fmt("DORV V1.00 ID%02d", unit_);
}

std::vector<std::string> Logger::Status() const {
  const int count = static_cast<int>(records_.size());
  std::vector<std::string> s;
  s.push_back(Fmt("@M=N%s%02d", model_.c_str(), unit_));
  s.push_back(
      Fmt("@G=%c DR%c0 LCD%d %c", data_rate_, data_rate_, lcd_, range_mode_ == '1' ? 'L' : 'N'));
  s.push_back(Fmt("@Y=%d", StartYear()));
  s.push_back(Fmt("@C=  %d  %d", faults_.negative_count ? -count : count, kRecordCapacity));
  s.push_back("@T=RNG" + model_);
  s.push_back(Fmt("@I=%c", sampling_));
  s.push_back(Fmt("@R=%c", interval_));
  s.push_back(Fmt("@D=%c.%cG", threshold_[0], threshold_[1]));
  s.push_back(Fmt("@W=DETC%c", detect_ ? '1' : '0'));
  s.push_back(Fmt("@B=BUZZ%c", buzzer_));
  std::string run = Fmt("@s=STAT%c", static_cast<char>('0' + static_cast<int>(run_)));
  if (run_ == Run::kReserved) run += " " + reserve_text_;
  s.push_back(run);
  s.push_back("@A h" + OptionGroup('x', hazard_) + OptionGroup('y', gravity_) +
              OptionGroup('z', endless_));
  s.push_back("@A H" + OptionGroup('X', hundred_hz_) + OptionGroup('Y', display_) +
              OptionGroup('Z', df_));
  s.push_back("@F f" + OptionGroup('X', fx_) + OptionGroup('Y', fy_) + OptionGroup('Z', fz_));
  s.push_back(Fmt("@L=LTC%d", low_temp_));
  s.push_back(Fmt("@w=W%02d", wait_));
  return s;
}

// One line, read by the utility character by character: the axis values
// five characters wide two after "X", "Y" and "Z", the temperature two after
// the only "p", at index 32 and last on the line. No other "p", "X", "Y" or
// "Z" appears.
std::string Logger::MonitorLine() {
  ++monitor_count_;
  const int g = Divisor();
  const int x = rng_.Range(-2, 2), y = rng_.Range(-2, 2), z = g + rng_.Range(-1, 1);
  const double t =
      23.0 + 2.0 * std::sin(static_cast<double>(monitor_count_) / 15.0) + rng_.Range(-3, 3) / 100.0;
  std::string temp = t >= 0 ? Fmt("%5.2f", t) : (t > -10 ? Fmt("-%4.2f", -t) : Fmt("-%4.1f", -t));
  return Fmt("MON X=%5d Y=%5d Z=%5d tmp=%s", x, y, z, temp.c_str());
}

std::string Logger::BurstRow(int64_t index) {
  const double phase = static_cast<double>(index);
  const int x = static_cast<int>(std::lround(6.0 * std::sin(2 * std::numbers::pi * phase / 40)));
  const int y = static_cast<int>(std::lround(3.0 * std::cos(2 * std::numbers::pi * phase / 25)));
  const int z = Divisor() + rng_.Range(-1, 1);
  return Fmt("%c%02X%02X%02X\r", static_cast<char>('g' + index % 20), x & 0xFF, y & 0xFF, z & 0xFF);
}

std::string Logger::RestartText() const {
  return faults_.no_final_m ? "\r\nDORV restart\r\n" : "\r\nDORV restart\r\nM";
}

Reply Logger::HandleLoader(const Command& cmd) {
  if (cmd.name == ";") return Bytes(".", false);
  ++hex_records_;
  const bool ok = CheckHexRecord(cmd.text) == HexCheck::kOk;
  return Bytes(ok && hex_records_ != faults_.reject_hex_line ? "." : "!", false);
}

Reply Logger::Handle(const Command& cmd, Clock::time_point now) {
  if (cmd.loader) return HandleLoader(cmd);
  UpdateRun(now);
  const std::string& n = cmd.name;
  const std::string_view arg =
      std::string_view(cmd.text).substr(std::min(n.size(), cmd.text.size()));

  if (n.empty() || n == "\x06") return Silent();  // ignored bytes, a stray ACK
  if (n == "?") return Rejected();
  if (n == "m") return Lines({Identification()});
  if (n == "p") {
    Reply r = Lines(Status());
    if (faults_.long_line > 0) {
      std::string longer = "LONG ";
      while (static_cast<int>(longer.size()) < faults_.long_line)
        longer += static_cast<char>('0' + longer.size() % 10);
      r.lines.insert(r.lines.begin(), longer);
    }
    return r;
  }
  if (n == "n") return Lines({MonitorLine()});
  if (n == "x") return Bytes("", false, Reply::Next::kBurst);
  if (n == "D" || n == "C" || n == "G") {
    const bool millis = sampling_ >= 'A' && sampling_ <= 'F';
    Reply r;
    r.lines.reserve(records_.size());
    for (const Record& rec : records_) r.lines.push_back(EncodeRecord(rec, millis));
    return r;
  }
  if (n == "t" || n == "te") {
    Reply r = Lines({TimeText(now)});
    if (run_ == Run::kReserved) r.lines.push_back("RSV " + reserve_text_);
    return r;
  }
  if (n == "s") {
    auto t = ParseDateTime(arg);
    if (!t) return Rejected();
    clock_offset_ = 0;
    clock_offset_ = *t - LoggerSeconds(now);
    run_ = Run::kRecording;  // setting the clock starts a new recording
    reserve_text_.clear();
    reserve_at_.reset();
    return Plain();
  }
  if (n == "l") {
    if (!ValidReserve(arg)) return Rejected();
    reserve_text_ = std::string(arg);
    return Plain();
  }
  if (n == "f") {
    // With a reservation time given since the last start, "f" waits for it;
    // otherwise the logger sleeps.
    if (!reserve_text_.empty()) {
      const int64_t now_s = LoggerSeconds(now);
      std::time_t tt = static_cast<std::time_t>(now_s);
      std::tm tm{};
      gmtime_r(&tt, &tm);
      const int y = tm.tm_year + 1900;
      const int mo = Num(reserve_text_, 0, 2), d = Num(reserve_text_, 3, 2);
      const int h = Num(reserve_text_, 6, 2), mi = Num(reserve_text_, 9, 2);
      int64_t at = CalendarSeconds(y, mo, d, h, mi, 0);
      if (at <= now_s) at = CalendarSeconds(y + 1, mo, d, h, mi, 0);
      reserve_at_ = at;
      run_ = Run::kReserved;
    } else {
      run_ = Run::kSleep;
      reserve_at_.reset();
    }
    return Plain();
  }
  if (n == "o") {
    run_ = Run::kRecording;
    reserve_text_.clear();
    reserve_at_.reset();
    return Plain();
  }
  if (n == "k0" || n == "k1") {
    detect_ = n == "k1";
    return Plain();
  }
  if (n == "z0" || n == "z1") {
    buzzer_ = n[1];
    return Plain();
  }
  if (n == "d") {
    if (!IsDigit(arg[0]) || !IsDigit(arg[1])) return Rejected();
    threshold_ = std::string(arg);
    return Plain();
  }
  if (n == "i") {
    if (std::string_view("0123456789ABCDEF").find(arg[0]) == std::string_view::npos)
      return Rejected();
    sampling_ = arg[0];
    return Plain();
  }
  if (n == "j") {
    // Minute letters "A" (1 min) to "^" (30 min), second letters "a" to "f".
    const char c = arg[0];
    if (!((c >= 'A' && c <= '^') || (c >= 'a' && c <= 'f'))) return Rejected();
    interval_ = c;
    return Plain();
  }
  if (n == "10" || n == "20" || n == "50" || n == "00" || n == "02") {
    model_ = n;
    return Plain();
  }
  if (n == "Oy" || n == "Oz" || n == "OX") {
    if (arg != "00" && arg != "01") return Rejected();
    (n == "Oy" ? gravity_ : n == "Oz" ? endless_ : hundred_hz_) = arg[1] - '0';
    return Plain();
  }
  if (n == "Ox" || n == "OY" || n == "OZ" || n == "L") {
    auto v = ParseSigned(arg);
    if (!v) return Rejected();
    if (n == "L")
      low_temp_ = std::clamp(*v, -999, 9999);
    else
      (n == "Ox" ? hazard_ : n == "OY" ? display_ : df_) = ClampOption(*v);
    return Plain();
  }
  if (n == "FX" || n == "FY" || n == "FZ") {
    // The utility sends the shown text back, so a leading blank is normal.
    std::string_view t = arg;
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    auto v = ParseSigned(t);
    if (!v) return Rejected();
    (n == "FX" ? fx_ : n == "FY" ? fy_ : fz_) = ClampOption(*v);
    return Plain();
  }
  if (n == "N" || n == "w") {
    if (!IsDigit(arg[0]) || !IsDigit(arg[1])) return Rejected();
    const int v = Num(arg, 0, 2);
    if (n == "N") {
      if (v == 0) return Rejected();
      unit_ = v;
    } else {
      wait_ = v;
    }
    return Plain();
  }
  if (n.size() == 2 && n[0] == 'q' && IsDigit(n[1])) {
    if (n[1] == '1' || n[1] == '5') data_rate_ = n[1];
    if (n[1] >= '7') lcd_ = n[1] - '0';
    return Plain();
  }
  if (n == "b0" || n == "b1") {
    range_mode_ = n[1];
    return Plain();
  }
  if (n == "e") {
    hex_records_ = 0;
    return Lines({"LOADER PIC18F87K90"});
  }
  if (n == "qs") return Bytes("", false, Reply::Next::kRestart);
  // The rest of the table ("#", blank, "W", "Z", "Vp", "vp", "hAAA" and
  // the five control bytes) is acknowledged with the prompt alone.
  return Plain();
}

}  // namespace dorv::sim
