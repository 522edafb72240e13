// One QApplication for the offscreen widget tests, created when the tests
// run (not when they are listed).
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "qtui/canvas_qt.h"

namespace {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "qt_tests";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
    dorv::qtui::InstallJapaneseFonts();
  }
  void TearDown() override { delete app_; }

 private:
  QApplication* app_ = nullptr;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
