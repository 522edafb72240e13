#pragma once
// The Windows API for the front end: windows.h first, as the other system
// headers build on it, and without its RGB macro, which would take the name
// of the toolkit's RGB function (nor TextOut, the canvas's).
// clang-format off
#include <windows.h>
#include <windowsx.h>
#include <commctrl.h>
#include <commdlg.h>
#include <cderr.h>
#include <objidl.h>
#include <shlwapi.h>
#include <winspool.h>
// clang-format on
#undef RGB
#undef TextOut

namespace dorv::win32ui {

constexpr COLORREF Rgb(int r, int g, int b) {
  return COLORREF(r & 0xFF) | (COLORREF(g & 0xFF) << 8) | (COLORREF(b & 0xFF) << 16);
}

}  // namespace dorv::win32ui
