#include "ui/dialogs.h"

#include "ui/application.h"

namespace dorv::ui {

bool TOpenDialog::Execute() {
  FileDialogRequest req;
  req.save = GetKind() == Kind::SaveDialog;
  req.title = Title;
  req.filter = Filter;
  req.defaultExt = DefaultExt;
  req.fileName = FileName;
  req.initialDir = InitialDir;
  req.options = Options;
  if (!Application()->Modals().FileDialog(req)) return false;
  FileName = req.fileName;
  return true;
}

std::unique_ptr<TPrinter> TPrintDialog::Execute() {
  return Application()->Modals().PrintDialog();
}

}  // namespace dorv::ui
