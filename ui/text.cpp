#include "ui/text.h"

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>

#include "base/hex.h"
#include "platform/text_encoding.h"
#include "ui/exceptions.h"

namespace dorv::ui {

namespace {

bool IsLeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Walks cp932 text character by character; calls bad(byte) for a byte that is
// not a valid character and good(utf8) for each converted run.
template <class Good, class Bad>
void WalkCp932(std::string_view bytes, Good good, Bad bad) {
  size_t i = 0, runStart = 0;
  auto flush = [&](size_t end) {
    if (end > runStart) {
      std::string out;
      platform::Cp932ToUtf8(bytes.substr(runStart, end - runStart), out);
      good(out);
    }
  };
  while (i < bytes.size()) {
    unsigned char b = static_cast<unsigned char>(bytes[i]);
    size_t len = (IsLeadByte(b) && i + 1 < bytes.size()) ? 2 : 1;
    std::string tmp;
    bool ok = true;
    if (b >= 0x80 || len == 2) ok = platform::Cp932ToUtf8(bytes.substr(i, len), tmp);
    if (!ok && len == 2) {
      len = 1;
      ok = false;
    }
    if (!ok) {
      flush(i);
      bad(b);
      i += 1;
      runStart = i;
      continue;
    }
    i += len;
  }
  flush(i);
}

}  // namespace

std::string Cp932ToUtf8(std::string_view bytes) {
  std::string out;
  bool ascii = true;
  for (char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) ascii = false;
  if (ascii) return std::string(bytes);
  WalkCp932(
      bytes, [&](const std::string& s) { out += s; },
      [&](unsigned char) { out += "\xEF\xBF\xBD"; });
  return out;
}

std::string Cp932ToUtf8Escaped(std::string_view bytes) {
  std::string out;
  WalkCp932(
      bytes, [&](const std::string& s) { out += s; },
      [&](unsigned char b) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\x%02X", b);
        out += buf;
      });
  return out;
}

std::string Utf8ToCp932(std::string_view utf8) {
  std::string out;
  if (platform::Utf8ToCp932(utf8, out)) return out;
  // Convert character by character, replacing what has no cp932 form.
  out.clear();
  size_t i = 0;
  while (i < utf8.size()) {
    unsigned char b = static_cast<unsigned char>(utf8[i]);
    size_t len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 1;
    if (i + len > utf8.size()) len = 1;
    std::string part;
    if (platform::Utf8ToCp932(utf8.substr(i, len), part))
      out += part;
    else
      out += '?';
    i += len;
  }
  return out;
}

bool TryStrToInt(std::string_view text, int& value) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool neg = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    neg = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return false;
  long long v = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    const int d = base::HexDigitValue(c);
    if (d < 0 || d >= base) return false;
    v = v * base + d;
    if (v > (long long)INT_MAX + 1) return false;
  }
  if (neg) v = -v;
  if (v > INT_MAX || v < INT_MIN) return false;
  value = static_cast<int>(v);
  return true;
}

int StrToInt(std::string_view text) {
  int v = 0;
  if (!TryStrToInt(text, v)) {
    // Control bytes are shown as \xHH: a NUL would end the message there.
    std::string shown;
    for (char c : text) {
      unsigned char u = static_cast<unsigned char>(c);
      if (u < 0x20 || u == 0x7F) {
        char hex[5];
        std::snprintf(hex, sizeof hex, "\\x%02X", u);
        shown += hex;
      } else {
        shown += c;
      }
    }
    throw EConvertError("'" + shown + "' は整数ではありません");
  }
  return v;
}

int StrToIntDef(std::string_view text, int def) {
  int v = 0;
  return TryStrToInt(text, v) ? v : def;
}

std::string IntToStr(long long v) {
  return std::to_string(v);
}

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return std::string(s.substr(b, e - b));
}

std::string TrimRight(std::string_view s) {
  size_t e = s.size();
  while (e > 0 && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return std::string(s.substr(0, e));
}

std::string Format(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  va_list ap2;
  va_copy(ap2, ap);
  int n = std::vsnprintf(nullptr, 0, fmt, ap);
  va_end(ap);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0) std::vsnprintf(out.data(), n + 1, fmt, ap2);
  va_end(ap2);
  return out;
}

}  // namespace dorv::ui
