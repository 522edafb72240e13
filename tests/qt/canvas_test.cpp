// The toolkit's canvas on a QPainter, and the Japanese font.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include "qtui/canvas_qt.h"

namespace dorv::qtui::testing {
namespace {

struct Surface {
  QImage image{200, 100, QImage::Format_RGB32};
  Surface() { image.fill(Qt::white); }
  QColor At(int x, int y) const { return image.pixelColor(x, y); }
};

TEST(QPainterCanvas, LinesTakeThePenColourAndWidth) {
  Surface s;
  {
    QPainter p(&s.image);
    QPainterCanvas c(p);
    c.PenColor = ui::clFuchsia;
    c.MoveTo(10, 10);
    c.LineTo(110, 10);
    c.PenColor = ui::clGray;
    c.PenWidth = 3;
    c.DrawLine(10, 50, 110, 50);
  }
  EXPECT_EQ(s.At(60, 10), QColor(255, 0, 255));
  EXPECT_EQ(s.At(60, 11), QColor(Qt::white));  // one pixel wide
  EXPECT_EQ(s.At(111, 10), QColor(Qt::white));
  for (int y : {49, 50, 51}) EXPECT_EQ(s.At(60, y), QColor(128, 128, 128)) << y;
}

TEST(QPainterCanvas, TextHidesWhatIsBehindItUnlessTheBrushIsClear) {
  for (bool clear : {false, true}) {
    SCOPED_TRACE(clear);
    Surface s;
    int w = 0, h = 0;
    {
      QPainter p(&s.image);
      QPainterCanvas c(p);
      c.PenColor = ui::clSilver;
      c.DrawLine(0, 20, 200, 20);  // a grid line behind the text
      c.BrushColor = ui::clWindow;
      c.BrushClear = clear;
      c.Font.Color = ui::cl3DDkShadow;
      c.TextOut(10, 14, "-1G 閾値");
      w = c.TextWidth("-1G 閾値");
      h = c.TextHeight("-1G 閾値");
    }
    EXPECT_GT(w, 40);
    EXPECT_GE(h, 12);
    // The grid line under the text box, at its right end past the glyphs.
    QColor under = s.At(10 + w - 1, 20);
    EXPECT_EQ(under, clear ? QColor(192, 192, 192) : QColor(Qt::white));
    EXPECT_EQ(s.At(10 + w + 2, 20), QColor(192, 192, 192));
    // Some pixels carry the text colour's darkness.
    int dark = 0;
    for (int x = 10; x < 10 + w; ++x)
      for (int y = 14; y < 14 + h; ++y) dark += s.At(x, y).lightness() < 140;
    EXPECT_GT(dark, 20);
  }
}

TEST(QPainterCanvas, FillRectUsesTheBrush) {
  Surface s;
  {
    QPainter p(&s.image);
    QPainterCanvas c(p);
    c.BrushColor = ui::clLime;
    c.FillRect(20, 20, 40, 30);
  }
  EXPECT_EQ(s.At(20, 20), QColor(0, 255, 0));
  EXPECT_EQ(s.At(39, 29), QColor(0, 255, 0));
  EXPECT_EQ(s.At(40, 29), QColor(Qt::white));
  EXPECT_EQ(s.At(39, 30), QColor(Qt::white));
}

TEST(JapaneseFont, TheDesignFontMapsToAnInstalledJapaneseFont) {
  QFont font = ToQFont(ui::TFont{});  // "ＭＳ Ｐゴシック", 12 pixels
  QFontInfo info(font);
  EXPECT_TRUE(info.family().startsWith("IPA")) << info.family().toStdString();
  EXPECT_EQ(info.pixelSize(), 12);
  QFontMetrics fm(font);
  for (QString s : {"閾値超検出", "予約時間", "計算結果", "接<->続", "℃"})
    for (QChar ch : s) EXPECT_TRUE(fm.inFont(ch)) << s.toStdString();
}

}  // namespace
}  // namespace dorv::qtui::testing
