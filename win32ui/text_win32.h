#pragma once
#include <string>
#include <string_view>

namespace dorv::win32ui {

// The toolkit's texts are UTF-8; the window system's are UTF-16.
std::wstring W(std::string_view utf8);
std::string U8(std::wstring_view wide);

}  // namespace dorv::win32ui
