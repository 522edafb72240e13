#include "ui/canvas.h"

namespace dorv::ui {

int TCanvas::TextWidth(const std::string& text) {
  // Half-width characters are half the font height wide, others full width.
  int w = 0;
  for (size_t i = 0; i < text.size();) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    size_t len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : 4;
    w += len == 1 ? Font.Height / 2 : Font.Height;
    i += len;
  }
  return w;
}

void TRecordingCanvas::DrawLine(int x0, int y0, int x1, int y1) {
  ops_.push_back({Op::Line, x0, y0, x1, y1, PenColor, PenWidth, {}, 0, Font});
}

void TRecordingCanvas::TextOut(int x, int y, const std::string& text) {
  ops_.push_back({Op::Text, x, y, x + TextWidth(text), y + TextHeight(text), Font.Color, PenWidth,
                  text, BrushClear ? 0xFFFFFFFFu : BrushColor, Font});
}

void TRecordingCanvas::FillRect(int left, int top, int right, int bottom) {
  ops_.push_back({Op::Fill, left, top, right, bottom, BrushColor, PenWidth, {}, 0, Font});
}

}  // namespace dorv::ui
