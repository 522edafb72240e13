#pragma once
#include <functional>

#include "ui/application.h"

namespace dorv::app {

// The program's start-up and end: the single-instance guard, the application
// object with its title, the six windows in their order, the main loop given
// by the caller (the Qt front end or the script runner), and the release of
// the guard. Returns the exit code: 1 when another copy runs (nothing shown)
// or when the guard cannot be made at all (why, on standard error), else what
// run returns.
struct ProgramHooks {
  // After the application object exists, before any window is created
  // (screen size, clock, modal services of a front end).
  std::function<void(ui::TApplication&)> prepare;
  // The main loop, after the main window is shown.
  std::function<int(ui::TApplication&)> run;
  // Whether the program takes the single-instance guard. The command line,
  // which serves one given port beside the window (the port's own lock keeps
  // the two apart), runs without it.
  bool singleInstance = true;
};

int RunProgram(const ProgramHooks& hooks);

// The window program's own arguments (--help, --version; anything else is a
// usage error), the same for every front end. Returns the exit code when the
// program ends here, or -1 when the window is to run.
int WindowProgramArguments(int argc, char** argv);

// Creates the six windows in their order (the main window, the graph, the ID
// dialog, the statistics, the reservation and the wait-option dialog) and
// shows the main window. RunProgram does this; tests, benches and the soak
// use it to have the program's windows in-process.
void CreateForms(ui::TApplication& application);

}  // namespace dorv::app
