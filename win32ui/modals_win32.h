#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/modal.h"
#include "win32ui/win32.h"

namespace dorv::win32ui {

// The toolkit's modal services as the system's own dialogs: message boxes,
// a small input dialog, the common file dialogs and the print dialog. Each
// runs a modal loop of the window system, which keeps the toolkit's loop
// running (timers, serial deliveries).
class Win32Modals : public ui::ModalServices {
 public:
  // title: the caption of message boxes (the application's title).
  explicit Win32Modals(std::function<std::string()> title);

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

// "Text|*.csv|All|*.*" as the common dialogs' filter: pairs of texts ended
// by a NUL each, the whole ended by another.
std::wstring FileDialogFilter(const std::string& filter);

// The id of the input dialog's edit field (the test driver fills it).
constexpr int kInputQueryEditId = 100;

// A print job on a printer's device context (GDI).
class GdiPrinter : public ui::TPrinter {
 public:
  // Takes the device context; name is said when the job fails.
  GdiPrinter(HDC dc, std::string name);
  ~GdiPrinter() override;
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
  HDC dc_;
  std::string name_;
  std::unique_ptr<ui::TCanvas> canvas_;
  bool inDoc_ = false;
  bool failed_ = false;
};

// The window a modal box belongs to: the active window of this thread, else
// a shown one.
HWND ModalOwner();

}  // namespace dorv::win32ui
