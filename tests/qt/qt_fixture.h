#pragma once
// A small form with one control of every kind, shown as a window.
#include <QApplication>
#include <QTest>
#include <QWidget>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "qtui/form_window.h"
#include "ui/application.h"
#include "ui/form.h"
#include "ui/modal.h"

namespace dorv::qtui::testing {

inline constexpr std::string_view kAllKinds = R"({
  "name": "Test", "caption": "テスト窓", "left": 40, "top": 30, "width": 416, "height": 339,
  "borderStyle": "single", "font": {"name": "ＭＳ Ｐゴシック", "height": 12},
  "controls": [
    {"name": "Label1", "kind": "TLabel", "caption": "本体番号", "left": 8, "top": 8, "width": 40, "height": 13},
    {"name": "Image1", "kind": "TImage", "picture": "Image5.png", "left": 300, "top": 8, "width": 32, "height": 32},
    {"name": "Button1", "kind": "TButton", "caption": "更新", "left": 8, "top": 30, "width": 75, "height": 25},
    {"name": "Edit1", "kind": "TEdit", "text": "0", "left": 90, "top": 30, "width": 80, "height": 21},
    {"name": "Edit2", "kind": "TEdit", "text": "", "left": 180, "top": 30, "width": 80, "height": 21},
    {"name": "ComboBox1", "kind": "TComboBox", "text": "10min", "items": ["1min", "10min", "30min"],
     "left": 8, "top": 60, "width": 90, "height": 21},
    {"name": "CheckBox1", "kind": "TCheckBox", "caption": "閾値超検出", "left": 110, "top": 62, "width": 100, "height": 17},
    {"name": "Memo1", "kind": "TMemo", "left": 8, "top": 90, "width": 200, "height": 80},
    {"name": "ListBox1", "kind": "TListBox", "items": ["COM3", "COM7"], "left": 220, "top": 90, "width": 80, "height": 60},
    {"name": "ProgressBar1", "kind": "TProgressBar", "left": 8, "top": 180, "width": 200, "height": 16},
    {"name": "TrackBar1", "kind": "TTrackBar", "min": 0, "max": 40, "position": 20, "left": 8, "top": 200, "width": 200, "height": 30},
    {"name": "ScrollBar1", "kind": "TScrollBar", "min": 3, "max": 100, "position": 3, "left": 8, "top": 240, "width": 200, "height": 17},
    {"name": "UpDown1", "kind": "TUpDown", "min": 0, "max": 5, "position": 0, "left": 220, "top": 160, "width": 40, "height": 21},
    {"name": "Hidden1", "kind": "TButton", "caption": "隠れ", "left": 8, "top": 400, "width": 75, "height": 25, "visible": false},
    {"name": "Timer1", "kind": "TTimer", "interval": 1000}
  ]
})";

// Modal services that record what was shown and answer at once.
class RecordingModals : public ui::ModalServices {
 public:
  std::vector<std::string> messages, exceptions;

 protected:
  void DoShowMessage(const std::string& text) override { messages.push_back(text); }
  bool DoConfirm(const std::string& text) override {
    messages.push_back(text);
    return true;
  }
  bool DoInputQuery(const std::string&, const std::string&, std::string&) override { return false; }
  bool DoFileDialog(ui::FileDialogRequest&) override { return false; }
  std::unique_ptr<ui::TPrinter> DoPrintDialog() override { return nullptr; }
  void DoShowException(const std::string& message) override { exceptions.push_back(message); }
};

// The application, the test form and its window.
struct TestWindow {
  ui::TApplication app;
  RecordingModals* modals;
  ui::TForm form{"Test", ui::TForm::DesignText{kAllKinds}};
  FormWindow window{form};

  TestWindow() {
    auto m = std::make_unique<RecordingModals>();
    modals = m.get();
    app.SetModals(std::move(m));
    form.Show();
    QApplication::processEvents();
  }
  template <class W = QWidget>
  W* Widget(const std::string& name) {
    return qobject_cast<W*>(window.ControlWidget(name));
  }
  template <class T>
  T* Model(const std::string& name) {
    return form.Find<T>(name);
  }
};

}  // namespace dorv::qtui::testing
