#pragma once
#include <cstdint>
#include <string>

namespace dorv::ui {

// Colours are 0x00BBGGRR for plain colours; system colours carry the high bit
// and an index that each canvas resolves to its own palette.
using TColor = std::uint32_t;

constexpr TColor RGB(int r, int g, int b) {
  return TColor(r & 0xFF) | (TColor(g & 0xFF) << 8) | (TColor(b & 0xFF) << 16);
}
constexpr bool IsSystemColor(TColor c) {
  return (c & 0x80000000u) != 0;
}

constexpr TColor clBlack = RGB(0, 0, 0);
constexpr TColor clWhite = RGB(255, 255, 255);
constexpr TColor clGray = RGB(128, 128, 128);
constexpr TColor clSilver = RGB(192, 192, 192);
constexpr TColor clRed = RGB(255, 0, 0);
constexpr TColor clFuchsia = RGB(255, 0, 255);
constexpr TColor clBlue = RGB(0, 0, 255);
constexpr TColor clGreen = RGB(0, 128, 0);
constexpr TColor clLime = RGB(0, 255, 0);
constexpr TColor clSysBase = 0x80000000u;
constexpr TColor clWindow = clSysBase | 5;
constexpr TColor clWindowText = clSysBase | 8;
constexpr TColor clHighlight = clSysBase | 13;
constexpr TColor clBtnFace = clSysBase | 15;
constexpr TColor clGrayText = clSysBase | 17;
constexpr TColor cl3DDkShadow = clSysBase | 21;

// The plain RGB value of a colour, system colours by a fixed classic palette.
TColor ResolveColor(TColor c);
inline int RedOf(TColor c) {
  return int(ResolveColor(c) & 0xFF);
}
inline int GreenOf(TColor c) {
  return int((ResolveColor(c) >> 8) & 0xFF);
}
inline int BlueOf(TColor c) {
  return int((ResolveColor(c) >> 16) & 0xFF);
}

struct TFont {
  std::string Name = "ＭＳ Ｐゴシック";
  int Height = 12;  // character height in pixels
  bool Bold = false;
  TColor Color = clWindowText;
  bool operator==(const TFont&) const = default;
};

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

}  // namespace dorv::ui
