#pragma once
// UTF-8 and UTF-16 conversion for the texts the program carries (string
// tables, messages); the document's own bytes are cp932 (ui/text.h).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dorv::base {

// Decodes the UTF-8 character at s[i]: its code point and its length in
// bytes, or a length of 0 when the bytes there are no well-formed character.
struct Utf8Char {
  uint32_t codePoint = 0;
  std::size_t length = 0;
};
inline Utf8Char DecodeUtf8(std::string_view s, std::size_t i) {
  const unsigned char b = static_cast<unsigned char>(s[i]);
  const int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
  if (extra < 0 || i + extra >= s.size()) return {};
  uint32_t c = extra == 0 ? b : extra == 1 ? b & 0x1F : extra == 2 ? b & 0x0F : b & 0x07;
  for (int k = 1; k <= extra; ++k) {
    const unsigned char cb = static_cast<unsigned char>(s[i + k]);
    if ((cb & 0xC0) != 0x80) return {};
    c = c << 6 | (cb & 0x3F);
  }
  return {c, static_cast<std::size_t>(extra + 1)};
}

// Appends a code point as UTF-16 (a surrogate pair above the first plane).
inline void AppendUtf16(std::u16string& out, uint32_t c) {
  if (c >= 0x10000) {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  } else {
    out += static_cast<char16_t>(c);
  }
}

// UTF-8 to UTF-16; each byte that starts no well-formed character becomes
// U+FFFD.
inline std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    Utf8Char ch = DecodeUtf8(s, i);
    if (ch.length == 0) {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    AppendUtf16(out, ch.codePoint);
    i += ch.length;
  }
  return out;
}

// UTF-8 to UTF-16, or nothing when s is not well-formed UTF-8.
inline std::optional<std::u16string> Utf8ToUtf16Strict(std::string_view s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    Utf8Char ch = DecodeUtf8(s, i);
    if (ch.length == 0) return std::nullopt;
    AppendUtf16(out, ch.codePoint);
    i += ch.length;
  }
  return out;
}

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
inline std::string Utf16ToUtf8(std::u16string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    uint32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// At most maxBytes of s, cut before a character, not inside one.
inline std::string CutUtf8(std::string s, std::size_t maxBytes) {
  if (s.size() <= maxBytes) return s;
  std::size_t n = maxBytes;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  s.resize(n);
  return s;
}

}  // namespace dorv::base
