#include "qtui/canvas_qt.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QPen>

namespace dorv::qtui {

QColor ToQColor(ui::TColor c) {
  return QColor(ui::RedOf(c), ui::GreenOf(c), ui::BlueOf(c));
}

QFont ToQFont(const ui::TFont& f) {
  QFont font(Q(f.Name));
  font.setPixelSize(f.Height > 0 ? f.Height : 12);
  font.setBold(f.Bold);
  return font;
}

void DrawRgbImage(QPainter& painter, int x, int y, int w, int h, int imgW, int imgH,
                  const std::vector<unsigned char>& rgb) {
  if (!painter.isActive() || imgW <= 0 || imgH <= 0 ||
      rgb.size() < static_cast<size_t>(imgW) * imgH * 3)
    return;
  QImage image(rgb.data(), imgW, imgH, imgW * 3, QImage::Format_RGB888);
  painter.drawImage(QRect(x, y, w, h), image);
}

void InstallJapaneseFonts() {
  const QStringList proportional{"IPAPGothic",       "IPA Pゴシック", "IPAGothic",
                                 "Noto Sans CJK JP", "VL PGothic",    "TakaoPGothic"};
  const QStringList fixed{"IPAGothic", "IPAゴシック", "Noto Sans Mono CJK JP", "VL Gothic",
                          "TakaoGothic"};
  QFont::insertSubstitutions("ＭＳ Ｐゴシック", proportional);
  QFont::insertSubstitutions("MS PGothic", proportional);
  QFont::insertSubstitutions("ＭＳ ゴシック", fixed);
  QFont::insertSubstitutions("MS Gothic", fixed);
  // The dialog font of the port chooser: a narrow sans serif keeps its texts
  // inside the widths laid out for it.
  QFont::insertSubstitutions(
      "MS Sans Serif", {"Liberation Sans Narrow", "Liberation Sans", "DejaVu Sans", "IPAPGothic"});
  ui::TFont standard;  // the designs' font
  QApplication::setFont(ToQFont(standard));
}

QPainterCanvas::QPainterCanvas(QPainter& p) : p_(p) {}

void QPainterCanvas::DrawLine(int x0, int y0, int x1, int y1) {
  if (!p_.isActive()) return;
  QPen pen(ToQColor(PenColor));
  pen.setWidth(PenWidth > 1 ? PenWidth : 0);  // 0: one pixel whatever the scale
  pen.setCapStyle(Qt::FlatCap);
  p_.setRenderHint(QPainter::Antialiasing, false);
  p_.setPen(pen);
  p_.drawLine(x0, y0, x1, y1);
}

void QPainterCanvas::TextOut(int x, int y, const std::string& text) {
  if (!p_.isActive()) return;
  QFont font = ToQFont(Font);
  QFontMetrics fm(font, p_.device());
  QString s = Q(text);
  QRect box(x, y, fm.horizontalAdvance(s), fm.height());
  if (!BrushClear) p_.fillRect(box, ToQColor(BrushColor));
  p_.setFont(font);
  p_.setPen(ToQColor(Font.Color));
  p_.drawText(x, y + fm.ascent(), s);
}

void QPainterCanvas::FillRect(int left, int top, int right, int bottom) {
  if (!p_.isActive()) return;
  p_.fillRect(QRect(left, top, right - left, bottom - top), ToQColor(BrushColor));
}

int QPainterCanvas::TextWidth(const std::string& text) {
  return QFontMetrics(ToQFont(Font), p_.device()).horizontalAdvance(Q(text));
}

int QPainterCanvas::TextHeight(const std::string&) {
  return QFontMetrics(ToQFont(Font), p_.device()).height();
}

}  // namespace dorv::qtui
