#include "ui/raster_canvas.h"

#include <algorithm>
#include <cstdlib>

#include "ui/form.h"

namespace dorv::ui {

TRasterCanvas::TRasterCanvas(int width, int height, TColor background)
    : w_(std::max(width, 1)), h_(std::max(height, 1)), rgb_(size_t(w_) * h_ * 3) {
  BrushColor = background;
  FillRect(0, 0, w_, h_);
  BrushColor = clWindow;
}

void TRasterCanvas::Plot(int x, int y, TColor c) {
  if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
  size_t i = (size_t(y) * w_ + x) * 3;
  rgb_[i] = static_cast<unsigned char>(RedOf(c));
  rgb_[i + 1] = static_cast<unsigned char>(GreenOf(c));
  rgb_[i + 2] = static_cast<unsigned char>(BlueOf(c));
}

TColor TRasterCanvas::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= w_ || y >= h_) return clBlack;
  size_t i = (size_t(y) * w_ + x) * 3;
  return RGB(rgb_[i], rgb_[i + 1], rgb_[i + 2]);
}

void TRasterCanvas::DrawLine(int x0, int y0, int x1, int y1) {
  // Bresenham; like the toolkit's LineTo the end point itself is not drawn.
  long dx = std::labs(long(x1) - x0), dy = -std::labs(long(y1) - y0);
  int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  long err = dx + dy;
  // Clip very long lines to the image so that a far-away end costs nothing.
  for (long steps = 0; steps < 4L * (w_ + h_) + std::max(dx, -dy); ++steps) {
    if (x0 == x1 && y0 == y1) break;
    Plot(x0, y0, PenColor);
    long e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
    if ((x0 < -w_ && sx < 0) || (x0 > 2 * w_ && sx > 0) || (y0 < -h_ && sy < 0) ||
        (y0 > 2 * h_ && sy > 0))
      break;
  }
}

void TRasterCanvas::FillRect(int left, int top, int right, int bottom) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, w_);
  bottom = std::min(bottom, h_);
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) Plot(x, y, BrushColor);
}

void TRasterCanvas::TextOut(int x, int y, const std::string& text) {
  int w = TextWidth(text), h = TextHeight(text);
  if (!BrushClear) FillRect(x, y, x + w, y + h);
  // One short stroke per character stands in for the glyph.
  int cx = x;
  for (size_t i = 0; i < text.size();) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    size_t len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : 4;
    int cw = len == 1 ? Font.Height / 2 : Font.Height;
    if (b != ' ')
      for (int yy = y + 2; yy < y + h - 2; ++yy) Plot(cx + cw / 2, yy, Font.Color);
    cx += cw;
    i += len;
  }
}

TRasterCanvas RenderFormImage(TForm& form) {
  TRasterCanvas canvas(form.ClientWidth(), form.ClientHeight(), form.Color());
  form.PaintOn(canvas);
  for (auto& c : form.Components()) {
    auto* ctl = dynamic_cast<TControl*>(c.get());
    if (!ctl || !ctl->Visible()) continue;
    canvas.PenColor = clGray;
    int l = ctl->Left(), t = ctl->Top(), r = l + ctl->Width(), b = t + ctl->Height();
    if (ctl->GetKind() != Kind::Label) {
      canvas.MoveTo(l, t);
      canvas.LineTo(r, t);
      canvas.LineTo(r, b);
      canvas.LineTo(l, b);
      canvas.LineTo(l, t);
    }
    canvas.Font = ctl->Font();
    canvas.BrushClear = true;
    canvas.TextOut(l + 2, t + 2, ctl->Caption());
    canvas.BrushClear = false;
  }
  return canvas;
}

}  // namespace dorv::ui
