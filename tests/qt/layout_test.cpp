// Every window looks whole: no control cut by the window's edge or by a
// neighbour, every text inside its control in the design font, for every
// form in the states the program puts it in.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <functional>

#include "common/forms_fixture.h"
#include "qtui/canvas_qt.h"
#include "serial/port_chooser.h"
#include "ui/layout_check.h"

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
      {"device-ID dialog", viewer::Form3, [] {}},
      {"statistics window", viewer::Form4, [] {}},
      {"reservation dialog", viewer::Form5, [] {}},
      {"wait-option dialog", viewer::Form6, [] {}},
  };
  for (auto& s : states) {
    SCOPED_TRACE(s.name);
    s.enter();
    for (auto& fault : ui::LayoutFaults(*s.form, TextWidth)) ADD_FAILURE() << fault;
  }
  serial::TComSelectForm chooser;
  for (auto& fault : ui::LayoutFaults(chooser, TextWidth)) ADD_FAILURE() << fault;
}

}  // namespace
}  // namespace dorv::testing
