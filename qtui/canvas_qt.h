#pragma once
#include <QColor>
#include <QFont>
#include <QPainter>
#include <QString>
#include <string>
#include <vector>

#include "ui/canvas.h"
#include "ui/types.h"

namespace dorv::qtui {

QColor ToQColor(ui::TColor c);
// The toolkit's font: Height is the character height in pixels.
QFont ToQFont(const ui::TFont& f);
inline QString Q(const std::string& utf8) {
  return QString::fromStdString(utf8);
}
inline std::string U8(const QString& s) {
  return s.toStdString();
}

// Maps the Japanese Windows font names of the form designs to installed
// fonts (IPA Gothic from Debian's fonts-ipafont-gothic first) and makes the
// proportional one the application's font. Call once after QApplication.
void InstallJapaneseFonts();

// Draws an RGB picture (imgW x imgH, three bytes a pixel) scaled into the
// rectangle; a picture with too few bytes is not drawn. For the printer and
// the PDF document, which take the graph window's picture.
void DrawRgbImage(QPainter& painter, int x, int y, int w, int h, int imgW, int imgH,
                  const std::vector<unsigned char>& rgb);

// The toolkit's canvas drawing with a QPainter: windows, images, printers.
// Pixel-exact (no antialiasing), texts on an opaque background unless
// BrushClear.
class QPainterCanvas : public ui::TCanvas {
 public:
  explicit QPainterCanvas(QPainter& p);
  void DrawLine(int x0, int y0, int x1, int y1) override;
  void TextOut(int x, int y, const std::string& text) override;
  void FillRect(int left, int top, int right, int bottom) override;
  int TextWidth(const std::string& text) override;
  int TextHeight(const std::string& text) override;

 private:
  QPainter& p_;
};

}  // namespace dorv::qtui
