#pragma once
#include <string>
#include <string_view>

namespace dorv::platform {

// Conversion between the Japanese code page the logger's documents use
// (cp932) and UTF-8, strict: false, with out unspecified, when the input is
// not valid in its encoding or a character has no form in the other one.
// Thread-safe.
bool Cp932ToUtf8(std::string_view in, std::string& out);
bool Utf8ToCp932(std::string_view in, std::string& out);

}  // namespace dorv::platform
