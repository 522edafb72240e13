#pragma once
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
// implementation answers from a queue; the Qt one shows real dialogs.
class ModalServices {
 public:
  virtual ~ModalServices() = default;
  // Information box with an OK button only.
  virtual void ShowMessage(const std::string& text) = 0;
  // Message box with OK and Cancel buttons; true for OK.
  virtual bool Confirm(const std::string& text) = 0;
  // Text prompt; false on cancel, else value holds the entered text.
  virtual bool InputQuery(const std::string& caption, const std::string& prompt,
                          std::string& value) = 0;
  // Open or save dialog; false on cancel, else req.fileName is the chosen path.
  virtual bool FileDialog(FileDialogRequest& req) = 0;
  // Print dialog; null on cancel, else a printer ready for BeginDoc.
  virtual std::unique_ptr<TPrinter> PrintDialog() = 0;
  // The application's exception display.
  virtual void ShowException(const std::string& message) = 0;
};

}  // namespace dorv::ui
