#pragma once
// The toolkit's texts are UTF-8; the window system's are UTF-16. Short names
// for the platform layer's conversions, which the window code uses on every
// call into the system.
#include <string>
#include <string_view>

#include "platform/win32_text.h"

namespace dorv::win32ui {

inline std::wstring W(std::string_view utf8) {
  return platform::win32::Widen(utf8);
}
inline std::string U8(std::wstring_view wide) {
  return platform::win32::Narrow(wide);
}

}  // namespace dorv::win32ui
