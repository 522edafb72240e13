// The application icon carried by the program.
#include "qtui/app_icon.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QIcon>
#include <QImage>

#include "qtui/frontend.h"

namespace dorv::qtui::testing {
namespace {

TEST(ApplicationIcon, TheFrontEndGivesTheWindowsTheIconInEverySizeAndNamesTheDesktopEntry) {
  QApplication::setWindowIcon(QIcon());
  Frontend frontend;
  const QIcon icon = QApplication::windowIcon();
  const QList<QSize> sizes = icon.availableSizes();
  for (int size : {16, 32, 48, 256}) {
    SCOPED_TRACE(size);
    EXPECT_TRUE(sizes.contains(QSize(size, size)));
    // Drawn, not empty: the middle of the icon is opaque.
    QImage image = icon.pixmap(QSize(size, size)).toImage();
    ASSERT_EQ(image.size(), QSize(size, size));
    EXPECT_EQ(image.pixelColor(size / 2, size / 2).alpha(), 255);
  }
  EXPECT_EQ(QGuiApplication::desktopFileName(), "jp.dorv.Updater");
}

}  // namespace
}  // namespace dorv::qtui::testing
