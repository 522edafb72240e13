#include "qtui/window_main.h"

#include <unistd.h>

#include <QApplication>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

#include "qtui/frontend.h"
#include "qtui/screen_fit.h"

namespace {

// Whether there is a display to show the window on: an X or Wayland display,
// or a Qt platform chosen explicitly (offscreen, vnc, ...).
bool HaveDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

}  // namespace

namespace dorv::qtui {

int WindowMain(int argc, char** argv, const std::function<void(ui::TApplication&)>& onRunning) {
  if (int code = app::WindowProgramArguments(argc, argv); code >= 0) return code;
  if (!HaveDisplay()) {
    std::fputs(
        "dorv-updater: no display (DISPLAY and WAYLAND_DISPLAY are unset): run it on a desktop, "
        "or in a virtual X server: xvfb-run dorv-updater\n",
        stderr);
    return 1;
  }
  // Qt is given the program's name only.
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  QApplication application(qtArgc, qtArgv);
  // Windows that would not fit the screen at this scale: the program starts
  // again, once, at the largest scale at which they do.
  if (!std::getenv("DORV_SCALE_FITTED")) {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      const double current = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                                 ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                                 : 1.0;
      const double fit = FittingScale(current > 0 ? current : 1.0,
                                      screen->availableGeometry().size(), NeededScreenSize());
      if (fit < current || (current <= 0 && fit < 1.0)) {
        setenv("QT_SCALE_FACTOR", QByteArray::number(fit).constData(), 1);
        setenv("DORV_SCALE_FITTED", "1", 1);
        execv("/proc/self/exe", argv);  // if that fails, the windows stay as they are
      }
    }
  }
  Frontend frontend;
  frontend.SetOnRunning(onRunning);
  return app::RunProgram(frontend.Hooks());
}

}  // namespace dorv::qtui
