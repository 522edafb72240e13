#pragma once
#include <QImage>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/program.h"
#include "qtui/form_window.h"
#include "qtui/loop_bridge.h"
#include "ui/application.h"

namespace dorv::qtui {

// Windows for a set of forms, and the toolkit's loop running on Qt's while
// they exist.
class Renderer {
 public:
  Renderer(ui::TApplication& app, const std::vector<ui::TForm*>& forms);
  ~Renderer();

  FormWindow* Window(const std::string& formName) const;
  const std::vector<std::unique_ptr<FormWindow>>& Windows() const { return windows_; }

 private:
  ui::TApplication& app_;
  std::unique_ptr<LoopBridge> bridge_;
  std::vector<std::unique_ptr<FormWindow>> windows_;
};

// The utility's front end: what RunProgram needs from a window system.
// Construct after QApplication.
class Frontend {
 public:
  Frontend();
  app::ProgramHooks Hooks();

  // Qt modal services and the primary screen's size.
  void Prepare(ui::TApplication& app);
  // Windows for every form, then Qt's loop until the main window closes.
  int Run(ui::TApplication& app);
  // Called once the windows exist, before Qt's loop runs (the review
  // program's screenshots).
  void SetOnRunning(std::function<void(ui::TApplication&)> f) { onRunning_ = std::move(f); }

 private:
  std::unique_ptr<Renderer> renderer_;
  std::function<void(ui::TApplication&)> onRunning_;
};

// A window's client image under a drawn title bar with its caption, for
// screenshots (the window system's own frame is not part of a grab).
QImage WithTitleBar(const QImage& client, const QString& caption);

}  // namespace dorv::qtui
