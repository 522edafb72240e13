#pragma once
#include <chrono>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "ui/canvas.h"

namespace dorv::ui {

// Options of the file dialogs.
enum TOpenOption : unsigned {
  ofOverwritePrompt = 1u << 0,  // ask before overwriting
  ofFileMustExist = 1u << 1,    // the file must exist
  ofHideReadOnly = 1u << 2,
  ofEnableSizing = 1u << 3,
};

struct FileDialogRequest {
  bool save = false;
  std::string title;
  std::string filter;      // "Description|*.ext|..." pairs
  std::string defaultExt;  // without the dot
  std::string fileName;    // initial name in, chosen path out
  std::string initialDir;
  unsigned options = 0;
};

// A print job's page: a canvas in printer dots.
class TPrinter {
 public:
  virtual ~TPrinter() = default;
  virtual void BeginDoc() = 0;
  virtual void NewPage() = 0;
  virtual void EndDoc() = 0;  // throws ui::Exception when the document cannot be written
  virtual TCanvas& Canvas() = 0;
  virtual int DotsPerInch() const = 0;
  virtual int PageWidth() const = 0;  // printable area, dots
  virtual int PageHeight() const = 0;
  // An RGB image (3 bytes a pixel, rows top to bottom) placed at (x, y) and
  // scaled to w x h dots.
  virtual void DrawImage(int x, int y, int w, int h, int imgW, int imgH,
                         const std::vector<unsigned char>& rgb) = 0;
};

// Every modal interaction of the program goes through here. The headless
// implementation answers from a queue; the Qt one shows real dialogs. The
// public calls note when a box is open, so that whoever measures the
// logger's silence can tell time spent waiting for the user (boxes may nest;
// user-interface thread only).
class ModalServices {
 public:
  using Clock = std::chrono::steady_clock;
  virtual ~ModalServices() = default;
  // Information box with an OK button only.
  void ShowMessage(const std::string& text) {
    Box box(*this);
    DoShowMessage(text);
  }
  // Message box with OK and Cancel buttons; true for OK.
  bool Confirm(const std::string& text) {
    Box box(*this);
    return DoConfirm(text);
  }
  // Text prompt; false on cancel, else value holds the entered text.
  bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
    Box box(*this);
    return DoInputQuery(caption, prompt, value);
  }
  // Open or save dialog; false on cancel, else req.fileName is the chosen path.
  bool FileDialog(FileDialogRequest& req) {
    Box box(*this);
    return DoFileDialog(req);
  }
  // Print dialog; null on cancel, else a printer ready for BeginDoc.
  std::unique_ptr<TPrinter> PrintDialog() {
    Box box(*this);
    return DoPrintDialog();
  }
  // The application's exception display.
  void ShowException(const std::string& message) {
    Box box(*this);
    DoShowException(message);
  }

  // True while one of the boxes above is open.
  bool BoxOpen() const { return openBoxes_ > 0; }
  // When the last box was closed (the clock's epoch before the first).
  Clock::time_point LastBoxClosed() const { return lastBoxClosed_; }

 protected:
  virtual void DoShowMessage(const std::string& text) = 0;
  virtual bool DoConfirm(const std::string& text) = 0;
  virtual bool DoInputQuery(const std::string& caption, const std::string& prompt,
                            std::string& value) = 0;
  virtual bool DoFileDialog(FileDialogRequest& req) = 0;
  virtual std::unique_ptr<TPrinter> DoPrintDialog() = 0;
  virtual void DoShowException(const std::string& message) = 0;

 private:
  struct Box {
    explicit Box(ModalServices& m) : m(m) { ++m.openBoxes_; }
    ~Box() {
      if (--m.openBoxes_ == 0) m.lastBoxClosed_ = Clock::now();
    }
    ModalServices& m;
  };
  int openBoxes_ = 0;
  Clock::time_point lastBoxClosed_{};
};

}  // namespace dorv::ui
