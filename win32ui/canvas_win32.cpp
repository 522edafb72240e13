#include "win32ui/canvas_win32.h"

#include <map>
#include <mutex>
#include <tuple>

#include "win32ui/text_win32.h"

namespace dorv::win32ui {

COLORREF ToColorRef(ui::TColor c) {
  // System colours carry the index of the window system's own table.
  if (ui::IsSystemColor(c)) return GetSysColor(static_cast<int>(c & 0xFF));
  return Rgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

HFONT FontFor(const ui::TFont& f) {
  static std::mutex mutex;
  static std::map<std::tuple<std::string, int, bool>, HFONT> fonts;
  std::lock_guard<std::mutex> lock(mutex);
  auto key = std::make_tuple(f.Name, f.Height > 0 ? f.Height : 12, f.Bold);
  auto it = fonts.find(key);
  if (it != fonts.end()) return it->second;
  LOGFONTW lf{};
  lf.lfHeight = -std::get<1>(key);  // negative: the character height, not the cell's
  lf.lfWeight = f.Bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = SHIFTJIS_CHARSET;
  lf.lfQuality = DEFAULT_QUALITY;
  std::wstring face = W(f.Name);
  wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
  HFONT font = CreateFontIndirectW(&lf);
  fonts.emplace(key, font);
  return font;
}

HBRUSH BrushFor(ui::TColor c) {
  static std::mutex mutex;
  static std::map<ui::TColor, HBRUSH> brushes;
  std::lock_guard<std::mutex> lock(mutex);
  auto it = brushes.find(c);
  if (it != brushes.end()) return it->second;
  HBRUSH b = CreateSolidBrush(ToColorRef(c));
  brushes.emplace(c, b);
  return b;
}

GdiCanvas::GdiCanvas(HDC dc) : dc_(dc), saved_(SaveDC(dc)) {}

GdiCanvas::~GdiCanvas() {
  RestoreDC(dc_, saved_);
}

void GdiCanvas::DrawLine(int x0, int y0, int x1, int y1) {
  HPEN pen = CreatePen(PS_SOLID, PenWidth > 1 ? PenWidth : 1, ToColorRef(PenColor));
  HGDIOBJ old = SelectObject(dc_, pen);
  MoveToEx(dc_, x0, y0, nullptr);
  ::LineTo(dc_, x1, y1);
  // GDI leaves out a line's last pixel.
  if (PenWidth <= 1) SetPixelV(dc_, x1, y1, ToColorRef(PenColor));
  SelectObject(dc_, old);
  DeleteObject(pen);
}

void GdiCanvas::TextOut(int x, int y, const std::string& text) {
  std::wstring w = W(text);
  HGDIOBJ old = SelectObject(dc_, FontFor(Font));
  SetTextColor(dc_, ToColorRef(Font.Color));
  SetBkColor(dc_, ToColorRef(BrushColor));
  SetBkMode(dc_, BrushClear ? TRANSPARENT : OPAQUE);
  SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  ::TextOutW(dc_, x, y, w.c_str(), static_cast<int>(w.size()));
  SelectObject(dc_, old);
}

void GdiCanvas::FillRect(int left, int top, int right, int bottom) {
  RECT r{left, top, right, bottom};
  ::FillRect(dc_, &r, BrushFor(BrushColor));
}

int GdiCanvas::TextWidth(const std::string& text) {
  std::wstring w = W(text);
  HGDIOBJ old = SelectObject(dc_, FontFor(Font));
  SIZE size{};
  GetTextExtentPoint32W(dc_, w.c_str(), static_cast<int>(w.size()), &size);
  SelectObject(dc_, old);
  return size.cx;
}

int GdiCanvas::TextHeight(const std::string&) {
  HGDIOBJ old = SelectObject(dc_, FontFor(Font));
  TEXTMETRICW tm{};
  GetTextMetricsW(dc_, &tm);
  SelectObject(dc_, old);
  return tm.tmHeight;
}

}  // namespace dorv::win32ui
