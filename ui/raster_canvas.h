#pragma once
#include <vector>

#include "ui/canvas.h"

namespace dorv::ui {

class TForm;

// A canvas that draws into an RGB image in memory: lines and fills exactly,
// texts as their background box with simple strokes where the glyphs would
// be (no font rasteriser here; the Qt front end grabs real windows instead).
class TRasterCanvas : public TCanvas {
 public:
  TRasterCanvas(int width, int height, TColor background = clWindow);
  void DrawLine(int x0, int y0, int x1, int y1) override;
  void TextOut(int x, int y, const std::string& text) override;
  void FillRect(int left, int top, int right, int bottom) override;

  int Width() const { return w_; }
  int Height() const { return h_; }
  const std::vector<unsigned char>& Rgb() const { return rgb_; }
  TColor Pixel(int x, int y) const;

 private:
  void Plot(int x, int y, TColor c);
  int w_, h_;
  std::vector<unsigned char> rgb_;
};

// An image of a form's client area: its paint, then its visible controls as
// boxes with their captions. What a headless print puts on the page.
TRasterCanvas RenderFormImage(TForm& form);

}  // namespace dorv::ui
