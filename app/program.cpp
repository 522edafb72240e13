#include "app/program.h"

#include <cstdio>
#include <optional>

#include "app/main_window.h"
#include "dialogs/device_id_dialog.h"
#include "dialogs/reservation_dialog.h"
#include "dialogs/wait_option_dialog.h"
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
