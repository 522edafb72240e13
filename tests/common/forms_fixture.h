#pragma once
// The program's six windows created in-process, headless, as the start-up
// creates them, with an in-memory registry (no ports unless a test adds them).
#include <gtest/gtest.h>
#include <stdlib.h>

#include "app/main_window.h"
#include "app/program.h"
#include "common/process.h"
#include "dialogs/device_id_dialog.h"
#include "dialogs/reservation_dialog.h"
#include "dialogs/wait_option_dialog.h"
#include "ui/application.h"
#include "ui/headless_modals.h"
#include "viewer/graph_window.h"
#include "viewer/statistics_window.h"

namespace dorv::testing {

class FormsFixture : public ::testing::Test {
 protected:
  TempDir runtime;
  std::unique_ptr<ui::TApplication> app;
  platform::MemoryRegistry* registry = nullptr;

  void SetUp() override {
    setenv("DORV_RUNTIME_DIR", runtime.path.c_str(), 1);
    app::TForm1::RegistryFactory = [this] {
      auto r = std::make_unique<platform::MemoryRegistry>();
      registry = r.get();
      return r;
    };
    app = std::make_unique<ui::TApplication>();
    Modals().SetAnswerDelay(std::chrono::milliseconds(0));
    app::CreateForms(*app);
  }
  void TearDown() override {
    app.reset();
    app::TForm1::RegistryFactory = platform::CreateSystemRegistry;
  }
  ui::HeadlessModals& Modals() { return static_cast<ui::HeadlessModals&>(app->Modals()); }
  app::TForm1& F() { return *app::Form1; }
};

}  // namespace dorv::testing
