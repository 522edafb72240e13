#include "app/program.h"

#include <cstdio>
#include <cstring>
#include <optional>

#include "app/main_window.h"
#include "dialogs/device_id_dialog.h"
#include "dialogs/reservation_dialog.h"
#include "dialogs/wait_option_dialog.h"
#include "dorv_version.h"
#include "platform/instance_lock.h"
#include "viewer/all_axis_statistics_window.h"
#include "viewer/graph_window.h"
#include "viewer/statistics_window.h"

namespace dorv::app {

void CreateForms(ui::TApplication& application) {
  application.CreateForm(Form1);
  application.CreateForm(viewer::Form2);
  application.CreateForm(dialogs::Form3);
  application.CreateForm(viewer::Form4);
  application.CreateForm(dialogs::Form5);
  application.CreateForm(dialogs::Form6);
  application.CreateForm(viewer::Form7);
  Form1->Show();
}

int WindowProgramArguments(int argc, char** argv) {
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
  return -1;
}

int RunProgram(const ProgramHooks& hooks) {
  // Only one copy runs: a second start ends at once and shows nothing. A
  // runtime directory that cannot hold the lock is said, not taken for one.
  std::optional<platform::InstanceLock> instanceMutex;
  if (hooks.singleInstance) instanceMutex.emplace("orewadorvda");
  if (instanceMutex && !instanceMutex->Acquired()) {
    if (!instanceMutex->Error().empty())
      std::fprintf(stderr, "dorv: %s\n", instanceMutex->Error().c_str());
    else
      std::fprintf(stderr, "dorv: another copy of the utility is running (it holds %s); ends\n",
                   instanceMutex->Holder().c_str());
    return 1;
  }

  int code = 0;
  ui::TApplication application;
  application.Title = "DORV_UPDATER";
  try {
    if (hooks.prepare) hooks.prepare(application);
    CreateForms(application);
    if (hooks.run) code = hooks.run(application);
  } catch (...) {
    // Shown by the standard exception display; the program then ends normally.
    application.HandleException(std::current_exception());
  }
  application.DestroyForms();
  return code;
}

}  // namespace dorv::app
