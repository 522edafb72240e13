#include "qtui/frontend.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "qtui/app_icon.h"
#include "qtui/canvas_qt.h"
#include "qtui/modals_qt.h"
#include "qtui/pdf_document_qt.h"
#include "serial/port_chooser.h"

namespace dorv::qtui {

// ---- Renderer

Renderer::Renderer(ui::TApplication& app, const std::vector<ui::TForm*>& forms) : app_(app) {
  for (ui::TForm* f : forms) windows_.push_back(std::make_unique<FormWindow>(*f));
  bridge_ = std::make_unique<LoopBridge>(app_.Loop(), [this] {
    if (app_.Terminated()) QCoreApplication::exit(0);
  });
  SetAfterUserAction([this] {
    if (app_.Terminated()) QCoreApplication::exit(0);
  });
}

Renderer::~Renderer() {
  SetAfterUserAction(nullptr);
  bridge_.reset();
  windows_.clear();
}

FormWindow* Renderer::Window(const std::string& formName) const {
  for (auto& w : windows_)
    if (w->Model().Name() == formName) return w.get();
  return nullptr;
}

// ---- Frontend

Frontend::Frontend() {
  InstallJapaneseFonts();
  ApplyApplicationIcon();
}

app::ProgramHooks Frontend::Hooks() {
  app::ProgramHooks hooks;
  hooks.prepare = [this](ui::TApplication& app) { Prepare(app); };
  hooks.run = [this](ui::TApplication& app) { return Run(app); };
  return hooks;
}

void Frontend::Prepare(ui::TApplication& app) {
  app.SetModals(std::make_unique<QtModals>([&app] { return app.Title; }));
  InstallPdfDocumentWriter();
  // The serial layer's port chooser, made when an open needs it.
  serial::TComSelectForm::SetModalRunner([](serial::TComSelectForm& chooser) {
    RunModalForm(chooser, [&chooser] { return chooser.ModalResult() != serial::mrNone; });
  });
  if (QScreen* screen = QGuiApplication::primaryScreen())
    app.SetScreenSize(screen->geometry().width(), screen->geometry().height());
}

int Frontend::Run(ui::TApplication& app) {
  QCoreApplication::setApplicationName(Q(app.Title));
  QApplication::setQuitOnLastWindowClosed(false);
  renderer_ = std::make_unique<Renderer>(app, app.Forms());
  if (onRunning_) onRunning_(app);
  int code = app.Terminated() ? 0 : QApplication::exec();
  renderer_.reset();
  serial::TComSelectForm::SetModalRunner(nullptr);
  return code;
}

QImage WithTitleBar(const QImage& client, const QString& caption) {
  // Drawn in the window's logical pixels, at the picture's own density, so
  // that a window taken at a scale of 2 fills its picture.
  const int bar = 24;
  const qreal density = client.devicePixelRatio();
  QImage out(client.width(), client.height() + qRound(bar * density), QImage::Format_RGB32);
  out.setDevicePixelRatio(density);
  out.fill(QColor(0, 84, 153));
  QPainter p(&out);
  QFont font = QApplication::font();
  font.setPixelSize(13);
  font.setBold(true);
  p.setFont(font);
  p.setPen(Qt::white);
  const int logicalWidth = qRound(client.width() / density);
  p.drawText(QRect(8, 0, logicalWidth - 16, bar), Qt::AlignVCenter | Qt::AlignLeft, caption);
  p.drawImage(QPointF(0, bar), client);
  return out;
}

}  // namespace dorv::qtui
