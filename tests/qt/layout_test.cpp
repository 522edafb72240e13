// Every window looks whole: no control cut by the window's edge or by a
// neighbour, every text inside its control in the design font, for every
// form in the states the program puts it in.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <functional>

#include "common/forms_fixture.h"
#include "qtui/canvas_qt.h"
#include "qtui/screen_fit.h"
#include "serial/port_chooser.h"
#include "ui/layout_check.h"
#include "viewer/all_axis_statistics_window.h"

namespace dorv::testing {
namespace {

int TextWidth(const ui::TFont& font, const std::string& text) {
  return QFontMetrics(qtui::ToQFont(font)).horizontalAdvance(QString::fromStdString(text));
}

class Layout : public FormsFixture {};

TEST_F(Layout, EveryFormInEveryStateShowsItsControlsWhole) {
  auto& f = F();
  // The main window shrunk to a strip during long work, as the download and
  // the burst shrink it: the document hidden, the progress bar shown.
  auto strip = [&](int height) {
    f.Memo1->Hide();
    f.ProgressBar1->Show();
    f.SetHeight(height);
  };
  struct State {
    const char* name;
    ui::TForm* form;
    std::function<void()> enter;
  } states[] = {
      {"main window", &f, [] {}},
      {"service panel open", &f, [&] { f.Label20->UserClick(); }},
      {"service panel closed", &f, [&] { f.Label20->UserClick(); }},
      {"monitoring", &f, [&] { f.Button10Click(); }},
      {"monitoring ended", &f, [&] { f.Button10Click(); }},
      {"download strip", &f, [&] { strip(f.ProgressBar1->Top() + 45); }},
      {"160-pixel strip", &f, [&] { strip(160); }},
      {"graph window", viewer::Form2, [] {}},
      {"device-ID dialog", dialogs::Form3, [] {}},
      {"statistics window", viewer::Form4, [] {}},
      {"reservation dialog", dialogs::Form5, [] {}},
      {"wait-option dialog", dialogs::Form6, [] {}},
      {"all-axis statistics window", viewer::Form7, [] {}},
  };
  for (auto& s : states) {
    SCOPED_TRACE(s.name);
    s.enter();
    for (auto& fault : ui::LayoutFaults(*s.form, TextWidth)) ADD_FAILURE() << fault;
  }
  serial::TComSelectForm chooser;
  for (auto& fault : ui::LayoutFaults(chooser, TextWidth)) ADD_FAILURE() << fault;
}

// At a scale where the windows do not fit the screen, the program runs at the
// largest smaller scale (in twentieths) at which they do.
TEST(ScreenFit, TheScaleShrinksOnlyAsFarAsTheWindowsNeed) {
  struct Case {
    double current;
    QSize available, needed;
    double fit;
  } cases[] = {
      {1.0, {1280, 1000}, {848, 611}, 1.0},  // fits
      {2.0, {960, 540}, {848, 611}, 1.75},   // 1920x1080 at 2
      {1.0, {800, 570}, {848, 611}, 0.9},    // a small screen
      {1.5, {1280, 693}, {848, 611}, 1.5},   // fits exactly enough
      {2.0, {0, 0}, {848, 611}, 2.0},        // no screen known: as it is
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.fit);
    EXPECT_DOUBLE_EQ(qtui::FittingScale(c.current, c.available, c.needed), c.fit);
  }
  EXPECT_EQ(qtui::NeededScreenSize(), QSize(848, 611));
}

}  // namespace
}  // namespace dorv::testing
