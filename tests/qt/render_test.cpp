// The generic renderer: every form's controls become widgets, the user's
// actions on them reach the model's handlers, and the model's changes reach
// the widgets.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <map>

#include "qt_fixture.h"
#include "qtui/canvas_qt.h"
#include "qtui/frontend.h"
#include "serial/port_chooser.h"
#include "ui/dialogs.h"
#include "ui/exceptions.h"
#include "ui/text.h"

namespace dorv::qtui::testing {
namespace {

const std::map<ui::Kind, const char*> kWidgetClass = {
    {ui::Kind::Label, "QLabel"},
    {ui::Kind::Image, "QLabel"},
    {ui::Kind::Button, "QPushButton"},
    {ui::Kind::Edit, "QLineEdit"},
    {ui::Kind::ComboBox, "QComboBox"},
    {ui::Kind::CheckBox, "QCheckBox"},
    {ui::Kind::Memo, "QPlainTextEdit"},
    {ui::Kind::ListBox, "QListWidget"},
    {ui::Kind::ProgressBar, "QProgressBar"},
    {ui::Kind::TrackBar, "QSlider"},
    {ui::Kind::ScrollBar, "QScrollBar"},
    {ui::Kind::UpDown, "QSpinBox"},
};

// The text a widget shows, for the kinds that show one.
bool ShownText(QWidget* w, QString& out) {
  if (auto* x = qobject_cast<QComboBox*>(w)) return out = x->currentText(), true;
  if (auto* x = qobject_cast<QLineEdit*>(w)) return out = x->text(), true;
  if (auto* x = qobject_cast<QAbstractButton*>(w)) return out = x->text(), true;
  if (auto* x = qobject_cast<QLabel*>(w); x && x->pixmap().isNull()) return out = x->text(), true;
  return false;
}

void CheckRendered(ui::TForm& form, FormWindow& window) {
  SCOPED_TRACE(form.Name());
  EXPECT_EQ(window.windowTitle(), Q(form.Caption()));
  EXPECT_EQ(window.size(), QSize(form.ClientWidth(), form.ClientHeight()));
  EXPECT_EQ(window.minimumSize() == window.maximumSize(),
            form.BorderStyle() != ui::TBorderStyle::Sizeable);
  int controls = 0;
  for (auto& c : form.Components()) {
    auto* ctl = dynamic_cast<ui::TControl*>(c.get());
    if (!ctl) continue;
    ++controls;
    SCOPED_TRACE(ctl->Name());
    QWidget* w = window.ControlWidget(ctl->Name());
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->inherits(kWidgetClass.at(ctl->GetKind()))) << w->metaObject()->className();
    EXPECT_EQ(w->parentWidget(), &window);
    EXPECT_EQ(w->pos(), QPoint(ctl->Left(), ctl->Top()));
    if (ctl->GetKind() == ui::Kind::Label) {
      // Labels size themselves to show their whole text.
      EXPECT_GE(w->width(), ctl->Caption().empty() ? 0 : w->sizeHint().width());
    } else {
      EXPECT_EQ(w->size(), QSize(ctl->Width(), ctl->Height()));
    }
    EXPECT_EQ(w->isHidden(), !ctl->Visible());
    EXPECT_EQ(w->isEnabled(), ctl->Enabled());
    QString text;
    if (ShownText(w, text)) {
      EXPECT_EQ(U8(text), ctl->Caption());
    }
    if (ctl->GetKind() == ui::Kind::Image) {
      EXPECT_FALSE(qobject_cast<QLabel*>(w)->pixmap().isNull()) << "no picture";
    }
  }
  EXPECT_GT(controls, 0);
}

TEST(Render, EveryFormOfTheProgramBecomesAWindowWithItsControls) {
  ui::TApplication app;
  for (const char* name : {"Form1", "Form2", "Form3", "Form4", "Form5", "Form6"}) {
    ui::TForm form(name);
    FormWindow window(form);
    CheckRendered(form, window);
    EXPECT_FALSE(window.isVisible());
    form.Show();
    EXPECT_TRUE(window.isVisible());
    form.Hide();
    EXPECT_FALSE(window.isVisible());
  }
}

TEST(Render, EveryKindOfControlBecomesItsWidget) {
  TestWindow t;
  CheckRendered(t.form, t.window);
  // The control below the window's height is outside it, as designed.
  QWidget* hidden = t.Widget("Hidden1");
  t.Model<ui::TButton>("Hidden1")->Show();
  EXPECT_FALSE(t.window.rect().contains(hidden->geometry()));
  EXPECT_EQ(t.Widget<QComboBox>("ComboBox1")->count(), 3);
  EXPECT_EQ(t.Widget<QListWidget>("ListBox1")->count(), 2);
  EXPECT_EQ(t.Widget<QSlider>("TrackBar1")->value(), 20);
  EXPECT_EQ(t.Widget<QScrollBar>("ScrollBar1")->minimum(), 3);
}

// ---- The user's actions reach the handlers

TEST(UserActions, ButtonAndLabelClicksRunTheirHandlers) {
  TestWindow t;
  std::vector<std::string> events;
  auto* button = t.Model<ui::TButton>("Button1");
  auto* label = t.Model<ui::TLabel>("Label1");
  button->OnClick = [&] { events.push_back("Button1Click"); };
  label->OnClick = [&] { events.push_back("Label1Click"); };
  label->OnDblClick = [&] { events.push_back("Label1DblClick"); };

  QTest::mouseClick(t.Widget("Button1"), Qt::LeftButton);
  QWidget* lw = t.Widget("Label1");
  QTest::mouseClick(lw, Qt::LeftButton);
  // A double click as the window system delivers it (press, release, double
  // click, release): a click, then the double click, and no second click.
  QTest::mouseClick(lw, Qt::LeftButton);
  QTest::mouseDClick(lw, Qt::LeftButton);
  QTest::mouseRelease(lw, Qt::LeftButton);
  EXPECT_EQ(events, (std::vector<std::string>{"Button1Click", "Label1Click", "Label1Click",
                                              "Label1DblClick"}));
  QTest::mouseClick(lw, Qt::LeftButton);
  EXPECT_EQ(events.back(), "Label1Click");

  events.clear();
  button->SetEnabled(false);
  QTest::mouseClick(t.Widget("Button1"), Qt::LeftButton);
  EXPECT_TRUE(events.empty());
}

TEST(UserActions, CheckBoxClickTogglesThroughTheModel) {
  TestWindow t;
  auto* box = t.Model<ui::TCheckBox>("CheckBox1");
  std::vector<bool> seen;
  box->OnClick = [&] { seen.push_back(box->Checked()); };
  auto* w = t.Widget<QCheckBox>("CheckBox1");
  QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, w->height() / 2));
  EXPECT_EQ(seen, std::vector<bool>{true});
  EXPECT_TRUE(w->isChecked());
  // A handler that puts the box back wins over the click.
  box->OnClick = [&] { box->SetChecked(true); };
  QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, w->height() / 2));
  EXPECT_TRUE(box->Checked());
  EXPECT_TRUE(w->isChecked());
}

TEST(UserActions, TypingGoesThroughTheKeyHandlerAtTheCaret) {
  TestWindow t;
  auto* edit = t.Model<ui::TEdit>("Edit1");
  int changes = 0;
  edit->OnChange = [&] { ++changes; };
  // Digits only, as the dialogs' key handlers do.
  edit->OnKeyPress = [](char& key) {
    if (key != 8 && (key < '0' || key > '9')) key = 0;
  };
  auto* w = t.Widget<QLineEdit>("Edit1");
  w->setFocus();
  w->selectAll();
  QTest::keyClicks(w, "a1b2");
  EXPECT_EQ(edit->Text(), "12");
  EXPECT_EQ(w->text(), "12");
  EXPECT_EQ(changes, 2);
  w->setCursorPosition(1);
  QTest::keyClicks(w, "9");
  EXPECT_EQ(edit->Text(), "192");
  EXPECT_EQ(w->cursorPosition(), 2);
  QTest::keyClick(w, Qt::Key_Backspace);
  EXPECT_EQ(edit->Text(), "12");
  // The delete key is an edit, not a typed key.
  w->setCursorPosition(0);
  QTest::keyClick(w, Qt::Key_Delete);
  EXPECT_EQ(edit->Text(), "2");
  EXPECT_EQ(w->text(), "2");

  // Japanese text goes whole into a field without a key handler.
  auto* other = t.Widget<QLineEdit>("Edit2");
  other->setFocus();
  for (QString ch : {"日", "本"}) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, ch);
    QApplication::sendEvent(other, &press);
  }
  EXPECT_EQ(t.Model<ui::TEdit>("Edit2")->Text(), "日本");
}

TEST(UserActions, ComboBoxChoiceAndTypingRunTheChangeHandler) {
  TestWindow t;
  auto* combo = t.Model<ui::TComboBox>("ComboBox1");
  std::vector<std::string> seen;
  combo->OnChange = [&] { seen.push_back(combo->Text()); };
  auto* w = t.Widget<QComboBox>("ComboBox1");
  w->setFocus();
  QTest::keyClick(w, Qt::Key_Down);  // the next item: the user's choice
  EXPECT_EQ(combo->Text(), "30min");
  EXPECT_EQ(combo->ItemIndex(), 2);
  EXPECT_EQ(seen, std::vector<std::string>{"30min"});
  // Typing into the box: a change for every key.
  w->lineEdit()->selectAll();
  QTest::keyClicks(w->lineEdit(), "1m");
  EXPECT_EQ(combo->Text(), "1m");
  EXPECT_EQ(seen.size(), 3u);
  // A program setting the text runs no handler.
  combo->SetText("10min");
  EXPECT_EQ(w->currentText(), "10min");
  EXPECT_EQ(seen.size(), 3u);
}

TEST(UserActions, ListAndRangeControlsReportTheUsersChange) {
  TestWindow t;
  std::vector<std::string> events;
  auto* list = t.Model<ui::TListBox>("ListBox1");
  list->OnClick = [&] { events.push_back("ListBox1Click " + std::to_string(list->ItemIndex())); };
  auto* lw = t.Widget<QListWidget>("ListBox1");
  QRect item = lw->visualItemRect(lw->item(1));
  QTest::mouseClick(lw->viewport(), Qt::LeftButton, {}, item.center());

  auto key = [](Qt::Key k) {
    return [k](QWidget* w) {
      w->setFocus();
      QTest::keyClick(w, k);
    };
  };
  auto arrowClick = [](QWidget* w) {
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(w->width() - 3, w->height() / 2));
  };
  struct Case {
    const char* name;
    std::function<void(QWidget*)> act;
    int expected;
  } cases[] = {{"TrackBar1", key(Qt::Key_Right), 21},
               {"ScrollBar1", arrowClick, 4},
               {"UpDown1", key(Qt::Key_Up), 1}};
  for (auto& c : cases) {
    auto* r = t.Model<ui::TRangeControl>(c.name);
    r->OnChange = [&events, r, name = std::string(c.name)] {
      events.push_back(name + "Change " + std::to_string(r->Position()));
    };
    c.act(t.Widget(c.name));
    EXPECT_EQ(r->Position(), c.expected) << c.name;
  }
  EXPECT_EQ(events, (std::vector<std::string>{"ListBox1Click 1", "TrackBar1Change 21",
                                              "ScrollBar1Change 4", "UpDown1Change 1"}));
}

TEST(UserActions, MousePressOnTheSurfaceAndTheCloseButtonReachTheForm) {
  TestWindow t;
  std::vector<std::string> events;
  t.form.OnMouseDown = [&](ui::TMouseButton b, int x, int y) {
    events.push_back(ui::Format("MouseDown %d %d %d", static_cast<int>(b), x, y));
  };
  t.form.OnClose = [&] { events.push_back("Close"); };
  QTest::mouseClick(&t.window, Qt::RightButton, {}, QPoint(350, 300));
  t.window.close();
  EXPECT_EQ(events, (std::vector<std::string>{"MouseDown 1 350 300", "Close"}));
  EXPECT_FALSE(t.form.Visible());
  EXPECT_FALSE(t.window.isVisible());
}

TEST(UserActions, AnExceptionInAHandlerGoesToTheExceptionDisplay) {
  TestWindow t;
  t.Model<ui::TButton>("Button1")->OnClick = [] { ui::StrToInt("abc"); };
  QTest::mouseClick(t.Widget("Button1"), Qt::LeftButton);
  EXPECT_EQ(t.modals->exceptions, std::vector<std::string>{"'abc' は整数ではありません"});
}

// ---- The model's changes reach the widgets

TEST(ModelChanges, ReachTheirWidgets) {
  TestWindow t;
  struct Case {
    const char* what;
    std::function<void(TestWindow&)> change;
    std::function<void(TestWindow&)> check;
  } cases[] = {
      {"label caption grows the label",
       [](TestWindow& t) { t.Model<ui::TLabel>("Label1")->SetCaption("D-ORV 接続しました 12:00"); },
       [](TestWindow& t) {
         auto* w = t.Widget<QLabel>("Label1");
         EXPECT_EQ(w->text(), "D-ORV 接続しました 12:00");
         EXPECT_GE(w->width(), w->sizeHint().width());
       }},
      {"button caption, enabled, visible",
       [](TestWindow& t) {
         auto* b = t.Model<ui::TButton>("Button1");
         b->SetCaption("接続");
         b->SetEnabled(false);
         b->Hide();
       },
       [](TestWindow& t) {
         auto* w = t.Widget<QPushButton>("Button1");
         EXPECT_EQ(w->text(), "接続");
         EXPECT_FALSE(w->isEnabled());
         EXPECT_TRUE(w->isHidden());
       }},
      {"geometry and font",
       [](TestWindow& t) {
         auto* e = t.Model<ui::TEdit>("Edit1");
         e->SetBounds(20, 250, 120, 24);
         ui::TFont f = e->Font();
         f.Bold = true;
         f.Color = ui::clRed;
         e->SetFont(f);
       },
       [](TestWindow& t) {
         auto* w = t.Widget("Edit1");
         EXPECT_EQ(w->geometry(), QRect(20, 250, 120, 24));
         EXPECT_TRUE(w->font().bold());
         EXPECT_EQ(w->palette().color(QPalette::Text), QColor(255, 0, 0));
       }},
      {"edit text", [](TestWindow& t) { t.Model<ui::TEdit>("Edit2")->SetText("COM7"); },
       [](TestWindow& t) { EXPECT_EQ(t.Widget<QLineEdit>("Edit2")->text(), "COM7"); }},
      {"combo items, then a text outside them, then an index",
       [](TestWindow& t) {
         auto* c = t.Model<ui::TComboBox>("ComboBox1");
         c->SetItems({"1sec", "5sec"});
         c->SetText("R");
       },
       [](TestWindow& t) {
         auto* w = t.Widget<QComboBox>("ComboBox1");
         EXPECT_EQ(w->count(), 2);
         EXPECT_EQ(w->currentText(), "R");
         t.Model<ui::TComboBox>("ComboBox1")->SetItemIndex(1);
         EXPECT_EQ(w->currentIndex(), 1);
         EXPECT_EQ(w->currentText(), "5sec");
       }},
      {"check box", [](TestWindow& t) { t.Model<ui::TCheckBox>("CheckBox1")->SetChecked(true); },
       [](TestWindow& t) { EXPECT_TRUE(t.Widget<QCheckBox>("CheckBox1")->isChecked()); }},
      {"list items and index",
       [](TestWindow& t) {
         auto* l = t.Model<ui::TListBox>("ListBox1");
         l->SetItems({"VCP0", "VCP1", "VCP2"});
         l->SetItemIndex(2);
       },
       [](TestWindow& t) {
         auto* w = t.Widget<QListWidget>("ListBox1");
         EXPECT_EQ(w->count(), 3);
         EXPECT_EQ(w->currentRow(), 2);
       }},
      {"ranges and positions",
       [](TestWindow& t) {
         auto* p = t.Model<ui::TProgressBar>("ProgressBar1");
         p->SetMax(72020);
         p->SetPosition(36000);
         t.Model<ui::TTrackBar>("TrackBar1")->SetPosition(37);
         t.Model<ui::TScrollBar>("ScrollBar1")->SetParams(500, 3, 997);
       },
       [](TestWindow& t) {
         EXPECT_EQ(t.Widget<QProgressBar>("ProgressBar1")->maximum(), 72020);
         EXPECT_EQ(t.Widget<QProgressBar>("ProgressBar1")->value(), 36000);
         EXPECT_EQ(t.Widget<QSlider>("TrackBar1")->value(), 37);
         EXPECT_EQ(t.Widget<QScrollBar>("ScrollBar1")->maximum(), 997);
         EXPECT_EQ(t.Widget<QScrollBar>("ScrollBar1")->value(), 500);
       }},
      {"the form's caption and size",
       [](TestWindow& t) {
         t.form.SetCaption("D-ORV KRB Updater 1.00");
         t.form.SetHeight(t.form.Height() + 160);
       },
       [](TestWindow& t) {
         EXPECT_EQ(t.window.windowTitle(), "D-ORV KRB Updater 1.00");
         EXPECT_EQ(t.window.height(), 339 + 160 - ui::TForm::FrameHeight(t.form.BorderStyle()));
         EXPECT_EQ(t.window.pos(), QPoint(40, 30));
       }},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.change(t);
    c.check(t);
  }
}

// A label grows with its text; one whose design fixes its width shows what
// fits with an ellipsis and the whole text as its tip.
TEST(ModelChanges, ALabelOfFixedWidthShortensALongText) {
  TestWindow t;
  auto* grows = t.Widget<QLabel>("Label1");
  const std::string line = "2016/01/02 09:05:30.870,  1, -2,  9, 23.0";
  t.Model<ui::TLabel>("Label1")->SetCaption(line);
  EXPECT_EQ(grows->text(), Q(line));
  EXPECT_GT(grows->width(), 40);

  ui::TForm form("Fixed", ui::TForm::DesignText{R"({
    "name": "Fixed", "caption": "x", "left": 0, "top": 0, "width": 300, "height": 100,
    "borderStyle": "single", "font": {"name": "ＭＳ Ｐゴシック", "height": 12},
    "controls": [{"name": "Label24", "kind": "TLabel", "caption": "", "left": 8, "top": 8,
                  "width": 120, "height": 13, "autoSize": false}]})"});
  FormWindow window(form);
  auto* fixed = qobject_cast<QLabel*>(window.ControlWidget("Label24"));
  ASSERT_NE(fixed, nullptr);
  form.Find<ui::TLabel>("Label24")->SetCaption(line);
  EXPECT_EQ(fixed->width(), 120);
  EXPECT_TRUE(fixed->text().endsWith(QChar(0x2026))) << fixed->text().toStdString();
  EXPECT_LE(fixed->fontMetrics().horizontalAdvance(fixed->text()), 120);
  EXPECT_EQ(fixed->toolTip(), Q(line));
  form.Find<ui::TLabel>("Label24")->SetCaption("short");
  EXPECT_EQ(fixed->text(), "short");
  EXPECT_EQ(fixed->toolTip(), "");
}

TEST(ModelChanges, AWindowFirstShownShowsWhatChangedWhileItWasHidden) {
  ui::TApplication app;
  ui::TForm form("Later", ui::TForm::DesignText{kAllKinds});
  FormWindow window(form);
  // A window never shown has no widgets yet.
  EXPECT_TRUE(window.findChildren<QWidget*>().isEmpty());
  form.Find<ui::TButton>("Button1")->SetCaption("送信");
  form.Find<ui::TCheckBox>("CheckBox1")->SetChecked(true);
  form.Find<ui::TEdit>("Edit1")->SetText("42");
  form.Find<ui::TMemo>("Memo1")->SetLines({"a", "b"});
  form.Find<ui::TButton>("Hidden1")->Show();
  form.Show();
  QApplication::processEvents();
  CheckRendered(form, window);
  EXPECT_TRUE(qobject_cast<QCheckBox*>(window.ControlWidget("CheckBox1"))->isChecked());
  EXPECT_EQ(qobject_cast<QPlainTextEdit*>(window.ControlWidget("Memo1"))->toPlainText(), "a\nb");
  EXPECT_TRUE(window.ControlWidget("Hidden1")->isVisibleTo(&window));
}

TEST(ModelChanges, DocumentLinesAreShownConvertedFromCp932) {
  TestWindow t;
  auto* memo = t.Model<ui::TMemo>("Memo1");
  auto* w = t.Widget<QPlainTextEdit>("Memo1");
  std::string header = ui::Utf8ToCp932("開始日時 2026/12/10");
  memo->SetLines({header, "12/10 00:00:00.00,1,-2,10,25.3"});
  QApplication::processEvents();
  EXPECT_EQ(w->toPlainText(), "開始日時 2026/12/10\n12/10 00:00:00.00,1,-2,10,25.3");
  EXPECT_EQ(memo->Line(0), header);  // the model keeps its bytes
  // Lines added one by one are appended; a byte that is not cp932 shows as
  // a replacement character.
  memo->Add("\x81");
  memo->Add(ui::Utf8ToCp932("終了"));
  QApplication::processEvents();
  EXPECT_EQ(w->toPlainText(), QString("開始日時 2026/12/10\n12/10 00:00:00.00,1,-2,10,25.3\n") +
                                  QChar(0xFFFD) + "\n終了");
  memo->Clear();
  QApplication::processEvents();
  EXPECT_EQ(w->toPlainText(), "");
}

TEST(ModelChanges, PaintAndGrabGoThroughTheWindow) {
  TestWindow t;
  t.form.OnPaint = [](ui::TCanvas& c) {
    c.PenColor = ui::clRed;
    c.DrawLine(300, 250, 400, 250);
  };
  int before = t.form.PaintCount();
  t.form.Invalidate();
  ASSERT_TRUE(QTest::qWaitFor([&] { return t.form.PaintCount() > before; }, 2000));
  // The form's image, as printing takes it, shows the paint and the controls.
  int w = 0, h = 0;
  std::vector<unsigned char> rgb;
  t.form.GrabClientImage(w, h, rgb);
  ASSERT_EQ(w, t.form.ClientWidth());
  ASSERT_EQ(h, t.form.ClientHeight());
  auto pixel = [&](int x, int y) {
    const unsigned char* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
    return QColor(p[0], p[1], p[2]);
  };
  EXPECT_EQ(pixel(350, 250), QColor(255, 0, 0));
  EXPECT_EQ(pixel(350, 240), ToQColor(ui::clBtnFace));
}

TEST(ModalForm, IsAnApplicationModalWindowUntilTheUsersAnswer) {
  TestWindow t;
  ui::TForm chooser("Chooser", ui::TForm::DesignText{kAllKinds});
  int result = 0;
  chooser.Find<ui::TButton>("Button1")->OnClick = [&] { result = 1; };
  bool modal = false;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    QWidget* w = QApplication::activeModalWidget();
    if (!w) return;
    user.stop();
    modal = w->objectName() == "Chooser" && w->windowModality() == Qt::ApplicationModal;
    // A click on the chooser's own button is its answer.
    QTest::mouseClick(w->findChild<QWidget*>("Button1"), Qt::LeftButton);
  });
  user.start(10);
  RunModalForm(chooser, [&] { return result != 0; });
  EXPECT_EQ(result, 1);
  EXPECT_TRUE(modal);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(ModalForm, ThePortChooserIsAnsweredInItsWindow) {
  ui::TApplication app;
  Frontend frontend;
  frontend.Prepare(app);
  struct Case {
    const char* button;
    bool chosen;
  } cases[] = {{"AbortBtn", false}, {"close", false}};
  for (auto& c : cases) {
    SCOPED_TRACE(c.button);
    QString title;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
      QWidget* w = QApplication::activeModalWidget();
      if (!w) return;
      user.stop();
      title = w->windowTitle();
      if (std::string(c.button) == "close")
        w->close();
      else
        QTest::mouseClick(w->findChild<QWidget*>(c.button), Qt::LeftButton);
    });
    user.start(10);
    uint16_t port = 0;
    EXPECT_EQ(serial::ChoosePort(port), c.chosen);
    EXPECT_EQ(title, "Select Port");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  }
}

TEST(ModelChanges, ClosingTheMainFormEndsQtsLoop) {
  struct MainForm : ui::TForm {
    MainForm() : TForm("Test", DesignText{kAllKinds}) {}
  };
  ui::TApplication app;
  MainForm* main = nullptr;
  app.CreateForm(main);
  main->Show();
  Renderer renderer(app, app.Forms());
  int ticks = 0;
  ui::TTimer* timer = main->Find<ui::TTimer>("Timer1");
  timer->SetInterval(20);
  timer->SetOnTimer([&] {
    // A handler closes the main form after a few ticks.
    if (++ticks == 3) main->Close();
  });
  QTimer limit;  // not reached when the close ends the loop
  limit.setSingleShot(true);
  QObject::connect(&limit, &QTimer::timeout, [] { QCoreApplication::exit(2); });
  limit.start(5000);
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_EQ(ticks, 3);
  EXPECT_TRUE(app.Terminated());
  EXPECT_FALSE(renderer.Window("Test")->isVisible());
}

}  // namespace
}  // namespace dorv::qtui::testing
