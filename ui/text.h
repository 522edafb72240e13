#pragma once
#include <string>
#include <string_view>

namespace dorv::ui {

// Japanese ANSI code page conversions. The document keeps cp932 bytes; texts
// of captions and messages are UTF-8. Bytes that do not convert are kept as
// U+FFFD in the UTF-8 result (or as '?' going to cp932).
std::string Cp932ToUtf8(std::string_view bytes);
std::string Utf8ToCp932(std::string_view utf8);

// UTF-8 for display in a script or log: valid cp932 converted, every byte that
// is not part of a valid cp932 character written as \xHH.
std::string Cp932ToUtf8Escaped(std::string_view bytes);

// The toolkit's integer conversion: optional blanks, sign, decimal digits,
// or "$" / "0x" hexadecimal. Raises EConvertError "'%s' は整数ではありません".
int StrToInt(std::string_view text);
bool TryStrToInt(std::string_view text, int& value);
int StrToIntDef(std::string_view text, int def);
std::string IntToStr(long long v);

std::string Trim(std::string_view s);       // blanks and control chars both ends
std::string TrimRight(std::string_view s);  // trailing blanks and control chars

// printf into a std::string.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace dorv::ui
