// dorv-updater: the DORV logger's maintenance utility with its windows.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dorv_version.h"
#include "qtui/frontend.h"

namespace {

const char kUsage[] =
    "usage: dorv-updater [--help] [--version]\n"
    "Opens the DORV logger utility's window. The utility finds the logger by itself\n"
    "on the USB serial ports; only one copy runs at a time.\n";

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

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--help")) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (!std::strcmp(argv[i], "--version")) {
      std::printf("dorv-updater %s\n", DORV_VERSION);
      return 0;
    }
    std::fprintf(stderr, "dorv-updater: unknown argument: %s\n%s", argv[i], kUsage);
    return 2;
  }
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
  dorv::qtui::Frontend frontend;
  return dorv::app::RunProgram(frontend.Hooks());
}
