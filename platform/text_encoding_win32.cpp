// cp932 conversion with the Win32 code-page functions (code page 932).
#include <windows.h>

#include "platform/text_encoding.h"

namespace dorv::platform {

namespace {

constexpr UINT kCp932 = 932;

// Windows gives the bytes 0x80, 0xA0 and 0xFD..0xFF, which are no characters
// of cp932, code points of their own (U+0080, private-use U+F8F0..U+F8F3);
// they stay invalid here, so that a document shows them as bytes on every
// system alike.
bool NoCharacter(wchar_t c) {
  return c == 0x0080 || (c >= 0xF8F0 && c <= 0xF8F3);
}

}  // namespace

bool Cp932ToUtf8(std::string_view in, std::string& out) {
  out.clear();
  if (in.empty()) return true;
  const int inLen = static_cast<int>(in.size());
  int n = MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, in.data(), inLen, nullptr, 0);
  if (n <= 0) return false;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(kCp932, MB_ERR_INVALID_CHARS, in.data(), inLen, wide.data(), n);
  for (wchar_t c : wide)
    if (NoCharacter(c)) return false;
  int m = WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
  if (m <= 0) return false;
  out.resize(static_cast<size_t>(m));
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), n, out.data(), m, nullptr, nullptr);
  return true;
}

bool Utf8ToCp932(std::string_view in, std::string& out) {
  out.clear();
  if (in.empty()) return true;
  const int inLen = static_cast<int>(in.size());
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, in.data(), inLen, nullptr, 0);
  if (n <= 0) return false;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, in.data(), inLen, wide.data(), n);
  // The yen sign and the overline are the Japanese forms of 0x5C and 0x7E.
  for (auto& c : wide) {
    if (c == 0x00A5) c = L'\\';
    if (c == 0x203E) c = L'~';
  }
  BOOL usedDefault = FALSE;
  int m = WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, wide.data(), n, nullptr, 0, nullptr,
                              &usedDefault);
  if (m <= 0 || usedDefault) return false;
  out.resize(static_cast<size_t>(m));
  WideCharToMultiByte(kCp932, WC_NO_BEST_FIT_CHARS, wide.data(), n, out.data(), m, nullptr,
                      &usedDefault);
  return !usedDefault;
}

}  // namespace dorv::platform
