#include "win32ui/frontend_win32.h"

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
  if (int code = app::WindowProgramArguments(argc, argv); code >= 0) return code;
  return app::RunProgram(frontend.Hooks());
}

}  // namespace dorv::win32ui
