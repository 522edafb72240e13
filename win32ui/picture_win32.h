#pragma once
#include <string_view>

#include "win32ui/win32.h"

namespace dorv::win32ui {

// A bitmap of a PNG picture the program carries (decoded by GDI+), or null
// when it cannot be decoded. The caller owns the bitmap.
HBITMAP BitmapFromPng(std::string_view png);

}  // namespace dorv::win32ui
