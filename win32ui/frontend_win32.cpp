#include "win32ui/frontend_win32.h"

#include <cstdio>
#include <cstring>

#include "dorv_version.h"
#include "serial/port_chooser.h"
#include "win32ui/modals_win32.h"
#include "win32ui/win32.h"

namespace dorv::win32ui {

Frontend::Frontend() {
  INITCOMMONCONTROLSEX icc{};
  icc.dwSize = sizeof icc;
  icc.dwICC = ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS;
  InitCommonControlsEx(&icc);
}

Frontend::~Frontend() = default;

app::ProgramHooks Frontend::Hooks() {
  app::ProgramHooks hooks;
  hooks.prepare = [this](ui::TApplication& app) { Prepare(app); };
  hooks.run = [this](ui::TApplication& app) { return Run(app); };
  return hooks;
}

void Frontend::Prepare(ui::TApplication& app) {
  app.SetModals(std::make_unique<Win32Modals>([&app] { return app.Title; }));
  // The serial layer's port chooser, made when an open needs it.
  serial::TComSelectForm::SetModalRunner([](serial::TComSelectForm& chooser) {
    RunModalForm(chooser, [&chooser] { return chooser.ModalResult() != serial::mrNone; });
  });
  app.SetScreenSize(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

int Frontend::Run(ui::TApplication& app) {
  auto quitWhenTerminated = [&app] {
    if (app.Terminated()) PostQuitMessage(0);
  };
  for (ui::TForm* f : app.Forms()) windows_.push_back(std::make_unique<FormWindow>(*f));
  bridge_ = std::make_unique<LoopBridge>(app.Loop(), quitWhenTerminated);
  SetAfterUserAction(quitWhenTerminated);
  if (onRunning_) onRunning_(app);
  int code = 0;
  if (!app.Terminated()) {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchFormMessage(msg);
  }
  SetAfterUserAction(nullptr);
  bridge_.reset();
  windows_.clear();
  serial::TComSelectForm::SetModalRunner(nullptr);
  return code;
}

int WindowMain(int argc, char** argv, Frontend& frontend) {
  static const char kUsage[] =
      "usage: dorv-updater [--help] [--version]\n"
      "Opens the DORV logger utility's window. The utility finds the logger by itself\n"
      "on the USB serial ports; only one copy runs at a time.\n";
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
  return app::RunProgram(frontend.Hooks());
}

}  // namespace dorv::win32ui
