// dorv-screenshot: the window program for reviewing the look
// (scripts/screenshot). It is the utility itself, started the same way; once
// the main window's caption reads DORV_SCREENSHOT_CAPTION (or
// DORV_SCREENSHOT_WAIT seconds have passed) it plays the script of user
// actions in DORV_SCREENSHOT_SCRIPT, writes every visible window to
// DORV_SCREENSHOT_DIR as a PNG (with DORV_SCREENSHOT_HIDDEN=1 the hidden
// forms too, as NAME-hidden.png) and ends. Not installed: the shipped window
// carries no script runner.
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <iostream>

#include "qtui/canvas_qt.h"
#include "qtui/frontend.h"
#include "qtui/window_main.h"
#include "tools/script_runner.h"

namespace dorv::qtui {
namespace {

void StartScreenshots(ui::TApplication& app, const QString& dir) {
  QString caption = qEnvironmentVariable("DORV_SCREENSHOT_CAPTION", "D-ORV KRB Updater 1.00");
  int waitMs = qEnvironmentVariableIntValue("DORV_SCREENSHOT_WAIT") * 1000;
  if (waitMs <= 0) waitMs = 20000;
  auto* poll = new QTimer(QCoreApplication::instance());
  auto* clock = new QElapsedTimer;
  clock->start();
  QObject::connect(poll, &QTimer::timeout, poll, [&app, dir, caption, waitMs, poll, clock] {
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
    QTimer::singleShot(1500, poll, [&app, dir, poll, clock] {
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

}  // namespace
}  // namespace dorv::qtui

int main(int argc, char** argv) {
  QString dir = qEnvironmentVariable("DORV_SCREENSHOT_DIR");
  if (dir.isEmpty()) {
    std::fputs("dorv-screenshot: DORV_SCREENSHOT_DIR names no folder\n", stderr);
    return 2;
  }
  return dorv::qtui::WindowMain(
      argc, argv, [dir](dorv::ui::TApplication& app) { dorv::qtui::StartScreenshots(app, dir); });
}
