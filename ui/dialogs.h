#pragma once
#include <memory>
#include <string>

#include "ui/controls.h"
#include "ui/modal.h"

namespace dorv::ui {

// The file dialog components of a form: they keep their filter, options and
// file name between uses, as the form's design sets them.
class TOpenDialog : public TComponent {
 public:
  explicit TOpenDialog(std::string name, Kind k = Kind::OpenDialog)
      : TComponent(std::move(name), k) {}
  std::string Title;
  std::string Filter;
  std::string DefaultExt;
  std::string FileName;
  std::string InitialDir;
  unsigned Options = 0;
  // Shows the dialog through the application's modal services.
  bool Execute();
};

class TSaveDialog : public TOpenDialog {
 public:
  explicit TSaveDialog(std::string name) : TOpenDialog(std::move(name), Kind::SaveDialog) {}
};

class TPrintDialog : public TComponent {
 public:
  explicit TPrintDialog(std::string name) : TComponent(std::move(name), Kind::PrintDialog) {}
  // The chosen printer, or null when cancelled.
  std::unique_ptr<TPrinter> Execute();
};

}  // namespace dorv::ui
