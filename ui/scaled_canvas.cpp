#include "ui/scaled_canvas.h"

#include <algorithm>
#include <cmath>

namespace dorv::ui {

bool ClipSegment(double& x0, double& y0, double& x1, double& y1, double w, double h) {
  // Liang-Barsky: the part of the segment's parameter range inside all four
  // edges.
  const double dx = x1 - x0, dy = y1 - y0;
  double t0 = 0, t1 = 1;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x0, w - x0, y0, h - y0};
  for (int k = 0; k < 4; ++k) {
    if (p[k] == 0) {
      if (q[k] < 0) return false;
      continue;
    }
    const double r = q[k] / p[k];
    if (p[k] < 0) {
      if (r > t1) return false;
      if (r > t0) t0 = r;
    } else {
      if (r < t0) return false;
      if (r < t1) t1 = r;
    }
  }
  const double sx = x0, sy = y0;
  x0 = sx + t0 * dx;
  y0 = sy + t0 * dy;
  x1 = sx + t1 * dx;
  y1 = sy + t1 * dy;
  return true;
}

TScaledCanvas::TScaledCanvas(TCanvas& target, double scale, int left, int top, int clipWidth,
                             int clipHeight)
    : t_(target), scale_(scale), left_(left), top_(top), clipW_(clipWidth), clipH_(clipHeight) {
  Font = target.Font;
}

int TScaledCanvas::X(double x) const {
  return left_ + static_cast<int>(std::lround(x * scale_));
}

int TScaledCanvas::Y(double y) const {
  return top_ + static_cast<int>(std::lround(y * scale_));
}

void TScaledCanvas::Forward() {
  t_.PenColor = PenColor;
  t_.PenWidth = PenWidth > 1 ? static_cast<int>(std::lround(PenWidth * scale_)) : PenWidth;
  t_.BrushColor = BrushColor;
  t_.BrushClear = BrushClear;
  t_.Font = Font;
  t_.Font.Height = std::max(1, static_cast<int>(std::lround(Font.Height * scale_)));
}

void TScaledCanvas::DrawLine(int x0, int y0, int x1, int y1) {
  double ax = x0, ay = y0, bx = x1, by = y1;
  if (!ClipSegment(ax, ay, bx, by, clipW_, clipH_)) return;
  Forward();
  t_.DrawLine(X(ax), Y(ay), X(bx), Y(by));
}

void TScaledCanvas::TextOut(int x, int y, const std::string& text) {
  if (x < 0 || y < 0 || x >= clipW_ || y >= clipH_) return;
  Forward();
  t_.TextOut(X(x), Y(y), text);
}

void TScaledCanvas::FillRect(int left, int top, int right, int bottom) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, clipW_);
  bottom = std::min(bottom, clipH_);
  if (right <= left || bottom <= top) return;
  Forward();
  t_.FillRect(X(left), Y(top), X(right), Y(bottom));
}

int TScaledCanvas::TextWidth(const std::string& text) {
  Forward();
  return static_cast<int>(std::lround(t_.TextWidth(text) / scale_));
}

int TScaledCanvas::TextHeight(const std::string& text) {
  Forward();
  return static_cast<int>(std::lround(t_.TextHeight(text) / scale_));
}

}  // namespace dorv::ui
