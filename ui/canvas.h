#pragma once
#include <string>
#include <vector>

#include "ui/types.h"

namespace dorv::ui {

// A drawing surface: the same paint code draws in a window, on a printer page
// and on a recording canvas in tests. Texts are UTF-8.
class TCanvas {
 public:
  virtual ~TCanvas() = default;

  TColor PenColor = clBlack;
  int PenWidth = 1;
  TColor BrushColor = clWindow;  // background of texts and fills
  bool BrushClear = false;       // texts drawn without a background
  TFont Font;

  void MoveTo(int x, int y) {
    penX_ = x;
    penY_ = y;
  }
  void LineTo(int x, int y) {
    DrawLine(penX_, penY_, x, y);
    penX_ = x;
    penY_ = y;
  }
  int PenX() const { return penX_; }
  int PenY() const { return penY_; }

  virtual void DrawLine(int x0, int y0, int x1, int y1) = 0;
  // Text with its top-left corner at (x, y), on an opaque background of
  // BrushColor unless BrushClear.
  virtual void TextOut(int x, int y, const std::string& text) = 0;
  virtual void FillRect(int left, int top, int right, int bottom) = 0;
  // Text extent in pixels; the default estimates from the font height.
  virtual int TextWidth(const std::string& text);
  virtual int TextHeight(const std::string&) { return Font.Height; }

 private:
  int penX_ = 0, penY_ = 0;
};

// Records every drawing operation as data (tests, headless paints).
class TRecordingCanvas : public TCanvas {
 public:
  struct Op {
    enum Type { Line, Text, Fill } type;
    int x0, y0, x1, y1;
    TColor color;       // pen colour (lines), font colour (texts), brush (fills)
    int width;          // pen width
    std::string text;   // texts
    TColor background;  // texts: background colour, or 0xFFFFFFFF when clear
    TFont font;
  };
  void DrawLine(int x0, int y0, int x1, int y1) override;
  void TextOut(int x, int y, const std::string& text) override;
  void FillRect(int left, int top, int right, int bottom) override;

  const std::vector<Op>& Ops() const { return ops_; }
  void Clear() { ops_.clear(); }

 private:
  std::vector<Op> ops_;
};

}  // namespace dorv::ui
