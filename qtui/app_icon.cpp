#include "qtui/app_icon.h"

#include <QApplication>
#include <QIcon>

namespace dorv::qtui {

namespace {

// The icon's sizes and the desktop entry's name come from the build, which
// draws and installs the same icons.
constexpr int kIconSizes[] = {DORV_APP_ICON_SIZES};

}  // namespace

void ApplyApplicationIcon() {
  QIcon icon;
  for (int size : kIconSizes)
    icon.addFile(QStringLiteral(":/icons/%1x%1/dorv-updater.png").arg(size), QSize(size, size));
  QApplication::setWindowIcon(icon);
  QGuiApplication::setDesktopFileName(QStringLiteral(DORV_APP_ID));
}

}  // namespace dorv::qtui
