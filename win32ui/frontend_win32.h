#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/program.h"
#include "ui/application.h"
#include "win32ui/form_window_win32.h"
#include "win32ui/loop_bridge_win32.h"

namespace dorv::win32ui {

// The utility's front end on the Windows API: what RunProgram needs from a
// window system.
class Frontend {
 public:
  Frontend();
  ~Frontend();
  app::ProgramHooks Hooks();

  // The system's modal dialogs and the screen's size.
  void Prepare(ui::TApplication& app);
  // Windows for every form, then the message loop until the main window
  // closes.
  int Run(ui::TApplication& app);
  // Called once the windows exist, before the message loop runs (the review
  // and test program's script and screenshots).
  void SetOnRunning(std::function<void(ui::TApplication&)> f) { onRunning_ = std::move(f); }

  const std::vector<std::unique_ptr<FormWindow>>& Windows() const { return windows_; }

 private:
  std::unique_ptr<LoopBridge> bridge_;
  std::vector<std::unique_ptr<FormWindow>> windows_;
  std::function<void(ui::TApplication&)> onRunning_;
};

// The program's entry: --help and --version, else the window.
int WindowMain(int argc, char** argv, Frontend& frontend);

}  // namespace dorv::win32ui
