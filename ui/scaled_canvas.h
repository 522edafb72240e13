#pragma once
// A canvas that draws on another one, scaled and moved, and clipped to a
// rectangle of the drawing's own coordinates: a window's paint placed on a
// printed page at the page's resolution.
#include "ui/canvas.h"

namespace dorv::ui {

class TScaledCanvas : public TCanvas {
 public:
  // Drawing coordinates (x, y) land at (left + x * scale, top + y * scale) of
  // `target`; lines are cut to the clip rectangle (drawing coordinates), and
  // texts whose top-left corner lies outside it are left out.
  TScaledCanvas(TCanvas& target, double scale, int left, int top, int clipWidth, int clipHeight);
  void DrawLine(int x0, int y0, int x1, int y1) override;
  void TextOut(int x, int y, const std::string& text) override;
  void FillRect(int left, int top, int right, int bottom) override;
  int TextWidth(const std::string& text) override;
  int TextHeight(const std::string& text) override;

 private:
  int X(double x) const;
  int Y(double y) const;
  void Forward();  // pen, brush and font, scaled, to the target

  TCanvas& t_;
  double scale_;
  int left_, top_, clipW_, clipH_;
};

// Cuts the segment to the rectangle [0, w] x [0, h]; false when nothing of it
// lies inside.
bool ClipSegment(double& x0, double& y0, double& x1, double& y1, double w, double h);

}  // namespace dorv::ui
