#pragma once
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "ui/form.h"

namespace dorv::qtui {

// Runs a user's action on the model the way the toolkit does: an exception
// that escapes goes to the application's exception display. Afterwards the
// front end's hook runs (it ends Qt's loop once the program was told to end).
void RunUserAction(const std::function<void()>& action);
void SetAfterUserAction(std::function<void()> hook);

// One control of a form as a Qt widget, kept in step with the model through
// the model's observers; the widget's user actions enter the model through
// the same entry points as the script runner's.
class ControlView {
 public:
  virtual ~ControlView();
  ControlView(const ControlView&) = delete;
  ControlView& operator=(const ControlView&) = delete;

  ui::TControl& Model() const { return model_; }
  QWidget* Widget() const { return widget_; }

 protected:
  ControlView(ui::TControl& model, QWidget* widget);
  // Call at the end of the derived constructor: brings the widget up to date
  // and starts following the model.
  void Attach();
  // Brings the widget up to date after a change of the model's property p.
  void Update(ui::Prop p);
  // What Update does for each kind. The base handles geometry, visibility,
  // enabled state, font and focus.
  virtual void Sync(ui::Prop p);
  // Geometry of the widget (labels grow to fit their text, as they do
  // with automatic sizing).
  virtual QRect Bounds() const;
  // True while the widget is being brought up to date from the model: its
  // signals then are not the user's.
  bool Syncing() const { return syncing_ > 0; }

 private:
  ui::TControl& model_;
  QWidget* widget_;
  int observer_ = 0;
  int syncing_ = 0;
};

// A widget for a control of any kind, child of parent. Null for components
// that are not controls.
std::unique_ptr<ControlView> MakeControlView(ui::TControl& control, QWidget* parent);

// A form as a top-level window: caption, outer geometry (the client area is
// the outer size less the toolkit's frame), border style, visibility and
// paint follow the model; the window's close button, mouse presses and the
// user's moves and resizes go to the model.
class FormWindow : public QWidget {
 public:
  explicit FormWindow(ui::TForm& form, Qt::WindowModality modality = Qt::NonModal);
  ~FormWindow() override;

  ui::TForm& Model() const { return form_; }
  // The widget of a control by name (null when there is none); asking makes
  // the controls' widgets of a window not yet shown.
  QWidget* ControlWidget(const std::string& name);
  // The client area as drawn now, for printing and screenshots.
  QImage ClientImage();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  // The controls' widgets, made when first needed (the window first shown,
  // a widget or a picture asked for): a window that is never shown costs
  // no widgets.
  void MakeControls();
  void Sync(ui::Prop p);
  void ApplyGeometry();
  void TakeGeometryFromWindow();

  ui::TForm& form_;
  std::vector<std::unique_ptr<ControlView>> controls_;
  bool controlsMade_ = false;
  int observer_ = 0;
  int applying_ = 0;
};

// Shows a form that has no window of its own yet (one made for the moment,
// such as a chooser) as an application-modal window, and runs Qt's loop,
// with the toolkit's on it, until done() holds.
void RunModalForm(ui::TForm& form, const std::function<bool()>& done);

}  // namespace dorv::qtui
