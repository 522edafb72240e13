#pragma once
#include <functional>

#include "ui/application.h"

namespace dorv::qtui {

// The window program's main: --help and --version, the display check, the
// scale that fits the screen (the program starts again once at that scale),
// then the utility with its windows until the main window closes. onRunning,
// when given, is called once the windows exist.
int WindowMain(int argc, char** argv, const std::function<void(ui::TApplication&)>& onRunning);

}  // namespace dorv::qtui
