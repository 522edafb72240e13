#include "qtui/form_window.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QTimer>
#include <QWheelEvent>
#include <exception>

#include "qtui/canvas_qt.h"
#include "ui/application.h"

namespace dorv::qtui {

namespace {

Qt::WindowFlags FlagsFor(ui::TBorderStyle style) {
  Qt::WindowFlags base = Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint;
  switch (style) {
    case ui::TBorderStyle::Single:
      return Qt::Window | base | Qt::WindowMinimizeButtonHint;
    case ui::TBorderStyle::Dialog:
      return Qt::Dialog | base;
    case ui::TBorderStyle::Sizeable:
      break;
  }
  return Qt::Window | base | Qt::WindowMinMaxButtonsHint;
}

ui::TMouseButton ButtonOf(Qt::MouseButton b) {
  switch (b) {
    case Qt::RightButton:
      return ui::TMouseButton::mbRight;
    case Qt::MiddleButton:
      return ui::TMouseButton::mbMiddle;
    default:
      return ui::TMouseButton::mbLeft;
  }
}

}  // namespace

FormWindow::FormWindow(ui::TForm& form, Qt::WindowModality modality)
    : QWidget(nullptr, FlagsFor(form.BorderStyle())), form_(form) {
  setObjectName(Q(form.Name()));
  setWindowModality(modality);
  setAttribute(Qt::WA_QuitOnClose, false);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, ToQColor(form.Color()));
  setPalette(pal);
  setFont(ToQFont(form.Font()));

  form_.SetInvalidateHook([this] { update(); });
  form_.SetGrabHook([this](int& w, int& h, std::vector<unsigned char>& rgb) {
    QImage image = ClientImage().convertToFormat(QImage::Format_RGB888);
    w = image.width();
    h = image.height();
    rgb.resize(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
      std::copy_n(image.constScanLine(y), static_cast<size_t>(w) * 3, rgb.data() + y * w * 3);
  });
  Sync(ui::Prop::Caption);
  ApplyGeometry();
  observer_ = form_.AddObserver([this](ui::TComponent&, ui::Prop p) { Sync(p); });
  Sync(ui::Prop::Visible);
}

FormWindow::~FormWindow() {
  form_.RemoveObserver(observer_);
  form_.SetInvalidateHook(nullptr);
  form_.SetGrabHook(nullptr);
  controls_.clear();
}

void FormWindow::MakeControls() {
  if (controlsMade_) return;
  controlsMade_ = true;
  for (auto& c : form_.Components())
    if (auto* ctl = dynamic_cast<ui::TControl*>(c.get()))
      if (auto view = MakeControlView(*ctl, this)) controls_.push_back(std::move(view));
  // Windowed controls lie above labels and pictures, whatever the order.
  for (auto& v : controls_) {
    auto k = v->Model().GetKind();
    if (k == ui::Kind::Label || k == ui::Kind::Image) v->Widget()->lower();
  }
}

QWidget* FormWindow::ControlWidget(const std::string& name) {
  MakeControls();
  for (auto& v : controls_)
    if (v->Model().Name() == name) return v->Widget();
  return nullptr;
}

QImage FormWindow::ClientImage() {
  MakeControls();
  return grab().toImage();
}

void FormWindow::Sync(ui::Prop p) {
  switch (p) {
    case ui::Prop::Caption:
      setWindowTitle(Q(form_.Caption()));
      break;
    case ui::Prop::Geometry:
      ApplyGeometry();
      break;
    case ui::Prop::Visible:
      if (form_.Visible() && !isVisible()) {
        MakeControls();
        ApplyGeometry();
        show();
        raise();
        activateWindow();
      } else if (!form_.Visible() && isVisible()) {
        hide();
      }
      break;
    default:
      break;
  }
}

void FormWindow::ApplyGeometry() {
  ++applying_;
  // The model's size is the outer size; the window's client area is that
  // less the toolkit's frame, so that the controls keep their places.
  QSize client(std::max(1, form_.ClientWidth()), std::max(1, form_.ClientHeight()));
  if (form_.BorderStyle() == ui::TBorderStyle::Sizeable) {
    setMinimumSize(1, 1);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(client);
  } else {
    setFixedSize(client);
  }
  if (pos() != QPoint(form_.Left(), form_.Top())) move(form_.Left(), form_.Top());
  --applying_;
}

void FormWindow::TakeGeometryFromWindow() {
  // The user (or the window manager) moved or resized the window: the model
  // follows, which runs the form's resize event when the size changed.
  if (applying_ || !isVisible()) return;
  int w = width() + ui::TForm::FrameWidth(form_.BorderStyle()),
      h = height() + ui::TForm::FrameHeight(form_.BorderStyle());
  if (form_.BorderStyle() != ui::TBorderStyle::Sizeable) {
    w = form_.Width();
    h = form_.Height();
  }
  QPoint p = pos();
  if (p.x() == form_.Left() && p.y() == form_.Top() && w == form_.Width() && h == form_.Height())
    return;
  RunUserAction([&] { form_.SetBounds(p.x(), p.y(), w, h); });
}

void FormWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QPainterCanvas canvas(painter);
  try {
    form_.PaintOn(canvas);
  } catch (...) {
    // Shown after the paint: a modal box cannot open inside one.
    QTimer::singleShot(0, this, [e = std::current_exception()] {
      RunUserAction([e] { std::rethrow_exception(e); });
    });
  }
}

void FormWindow::mousePressEvent(QMouseEvent* e) {
  QPoint at = e->position().toPoint();
  ui::TMouseButton b = ButtonOf(e->button());
  RunUserAction([&] { form_.UserMouseDown(b, at.x(), at.y()); });
}

void FormWindow::mouseReleaseEvent(QMouseEvent* e) {
  QPoint at = e->position().toPoint();
  ui::TMouseButton b = ButtonOf(e->button());
  RunUserAction([&] { form_.UserMouseUp(b, at.x(), at.y()); });
}

void FormWindow::mouseMoveEvent(QMouseEvent* e) {
  // Without mouse tracking Qt reports moves only while a button is held.
  QPoint at = e->position().toPoint();
  RunUserAction([&] { form_.UserMouseMove(at.x(), at.y()); });
}

void FormWindow::wheelEvent(QWheelEvent* e) {
  QPoint at = e->position().toPoint();
  const int delta = e->angleDelta().y();
  if (delta == 0) return;
  RunUserAction([&] { form_.UserMouseWheel(delta, at.x(), at.y()); });
}

void FormWindow::closeEvent(QCloseEvent* e) {
  // The model closes the form (its close event, then hidden); the window
  // follows the model.
  e->ignore();
  RunUserAction([this] { form_.Close(); });
}

void FormWindow::moveEvent(QMoveEvent* e) {
  QWidget::moveEvent(e);
  TakeGeometryFromWindow();
}

void FormWindow::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  TakeGeometryFromWindow();
}

void RunModalForm(ui::TForm& form, const std::function<bool()>& done) {
  if (!form.Visible()) form.Show();
  FormWindow window(form, Qt::ApplicationModal);
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  poll.start(20);
  if (!done()) loop.exec();
}

}  // namespace dorv::qtui
