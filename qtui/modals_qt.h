#pragma once
#include <QPainter>
#include <QPrinter>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "qtui/canvas_qt.h"
#include "ui/modal.h"

namespace dorv::qtui {

// The toolkit's modal services as real Qt dialogs. Each one runs a nested Qt
// loop, which keeps the toolkit's loop running (timers, serial deliveries).
class QtModals : public ui::ModalServices {
 public:
  // title: the caption of information boxes (the application's title).
  explicit QtModals(std::function<std::string()> title);

 protected:
  void DoShowMessage(const std::string& text) override;
  bool DoConfirm(const std::string& text) override;
  bool DoInputQuery(const std::string& caption, const std::string& prompt,
                    std::string& value) override;
  bool DoFileDialog(ui::FileDialogRequest& req) override;
  std::unique_ptr<ui::TPrinter> DoPrintDialog() override;
  void DoShowException(const std::string& message) override;

 private:
  std::function<std::string()> title_;
};

// "Text|*.csv|All|*.*" -> {"Text (*.csv)", "All (*.*)"}
QStringList QtNameFilters(const std::string& filter);

// A print job on a QPrinter (a system printer, or a PDF file).
class QtPrinter : public ui::TPrinter {
 public:
  explicit QtPrinter(std::unique_ptr<QPrinter> printer);
  ~QtPrinter() override;
  void BeginDoc() override;
  void NewPage() override;
  void EndDoc() override;
  ui::TCanvas& Canvas() override;
  int DotsPerInch() const override;
  int PageWidth() const override;
  int PageHeight() const override;
  void DrawImage(int x, int y, int w, int h, int imgW, int imgH,
                 const std::vector<unsigned char>& rgb) override;

 private:
  std::unique_ptr<QPrinter> printer_;
  QPainter painter_;
  std::unique_ptr<QPainterCanvas> canvas_;
  bool failed_ = false;
};

// The window a modal box belongs to: the active window, else the main one.
QWidget* ModalParent();

}  // namespace dorv::qtui
