#include "qtui/frontend.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <iostream>

#include "qtui/app_icon.h"
#include "qtui/canvas_qt.h"
#include "qtui/modals_qt.h"
#include "qtui/pdf_document_qt.h"
#include "serial/port_chooser.h"
#include "tools/script_runner.h"

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
  QString shots = qEnvironmentVariable("DORV_SCREENSHOT_DIR");
  if (!shots.isEmpty()) StartScreenshots(app, shots);
  int code = app.Terminated() ? 0 : QApplication::exec();
  renderer_.reset();
  serial::TComSelectForm::SetModalRunner(nullptr);
  return code;
}

// A hidden switch for reviewing the look (scripts/screenshot): once the main
// window's caption reads DORV_SCREENSHOT_CAPTION (or DORV_SCREENSHOT_WAIT
// seconds have passed), every visible window is written to
// DORV_SCREENSHOT_DIR as a PNG (with DORV_SCREENSHOT_HIDDEN=1 the hidden
// forms too, as NAME-hidden.png) and the program ends.
void Frontend::StartScreenshots(ui::TApplication& app, const QString& dir) {
  QString caption = qEnvironmentVariable("DORV_SCREENSHOT_CAPTION", "D-ORV KRB Updater 1.00");
  int waitMs = qEnvironmentVariableIntValue("DORV_SCREENSHOT_WAIT") * 1000;
  if (waitMs <= 0) waitMs = 20000;
  auto* poll = new QTimer(QCoreApplication::instance());
  auto* clock = new QElapsedTimer;
  clock->start();
  QObject::connect(poll, &QTimer::timeout, poll, [this, &app, dir, caption, waitMs, poll, clock] {
    ui::TForm* main = app.MainForm();
    bool ready = main && Q(main->Caption()) == caption;
    if (!ready && clock->elapsed() < waitMs) return;
    poll->stop();
    if (!ready)
      std::fprintf(stderr, "screenshot: the caption is \"%s\" after %d s; shooting as it is\n",
                   main ? main->Caption().c_str() : "", waitMs / 1000);
    // DORV_SCREENSHOT_SCRIPT names a script of user actions (the script
    // runner's commands) to play before the windows are taken, for example
    // a download, the graph and a marked range.
    QString script = qEnvironmentVariable("DORV_SCREENSHOT_SCRIPT");
    if (!script.isEmpty()) {
      std::ifstream in(script.toStdString());
      std::vector<std::string> lines;
      for (std::string l; std::getline(in, l);) lines.push_back(l);
      tools::ScriptRunner runner(app, std::cout, std::cerr);
      runner.SetAfterLine([] { QCoreApplication::processEvents(); });
      if (runner.Run(lines) != 0) std::fprintf(stderr, "screenshot: the script did not hold\n");
    }
    // A moment for the first answers to fill the displays.
    QTimer::singleShot(1500, poll, [this, &app, dir, poll, clock] {
      QDir().mkpath(dir);
      // Draw every window once and let the toolkit's timers run, so that
      // windows fed by another window's paint (the statistics beside the
      // graph) show what that paint computed.
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* form = dynamic_cast<FormWindow*>(w); form && w->isVisible()) form->ClientImage();
      app.Loop().RunFor(std::chrono::milliseconds(700));
      bool hiddenToo = qEnvironmentVariableIntValue("DORV_SCREENSHOT_HIDDEN") != 0;
      int modal = 0;
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* form = dynamic_cast<FormWindow*>(w);
        if (!w->isVisible() && !(hiddenToo && form)) continue;
        QString name = form ? Q(form->Model().Name()) : QString("modal%1").arg(++modal);
        if (!w->isVisible()) name += "-hidden";
        QImage image =
            WithTitleBar(form ? form->ClientImage() : w->grab().toImage(), w->windowTitle());
        QString path = QDir(dir).filePath(name + ".png");
        if (image.save(path))
          std::printf("screenshot: %s\n", path.toLocal8Bit().constData());
        else
          std::fprintf(stderr, "screenshot: cannot write %s\n", path.toLocal8Bit().constData());
      }
      std::fflush(stdout);
      delete clock;
      poll->deleteLater();
      RunUserAction([&app] {
        if (app.MainForm()) app.MainForm()->Close();
      });
    });
  });
  poll->start(200);
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
