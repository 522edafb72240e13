#pragma once
// Helpers of the Win32 backends (Windows builds only): the system's wide
// strings and its error texts in the program's UTF-8.
#include <cstdint>
#include <string>
#include <string_view>

namespace dorv::platform::win32 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);
// The system's text for a Windows error code, on one line without the
// closing full stop; "" when the system has none.
std::string ErrorText(uint32_t code);

}  // namespace dorv::platform::win32
