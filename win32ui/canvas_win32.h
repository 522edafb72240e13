#pragma once
#include <string>

#include "ui/canvas.h"
#include "ui/types.h"
#include "win32ui/win32.h"

namespace dorv::win32ui {

// A toolkit colour as GDI's: system colours from the system's own palette.
COLORREF ToColorRef(ui::TColor c);
// The font of a toolkit font (Height is the character height in pixels),
// made once and kept for the process: the designs use a handful.
HFONT FontFor(const ui::TFont& f);
// A solid brush of a colour, kept like the fonts.
HBRUSH BrushFor(ui::TColor c);

// The toolkit's canvas on a GDI device context: windows, bitmaps, printers.
// One pixel of pen draws both ends of a line, as the other canvases do; texts
// have an opaque background unless BrushClear.
class GdiCanvas : public ui::TCanvas {
 public:
  explicit GdiCanvas(HDC dc);
  ~GdiCanvas() override;
  void DrawLine(int x0, int y0, int x1, int y1) override;
  void TextOut(int x, int y, const std::string& text) override;
  void FillRect(int left, int top, int right, int bottom) override;
  int TextWidth(const std::string& text) override;
  int TextHeight(const std::string& text) override;

 private:
  HDC dc_;
  int saved_;
};

}  // namespace dorv::win32ui
