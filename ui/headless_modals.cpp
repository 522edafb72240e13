#include "ui/headless_modals.h"

#include "ui/event_loop.h"
#include "ui/pdf_printer.h"

namespace dorv::ui {

bool HeadlessModals::TakeAnswer(std::string& answer) {
  if (loop_ && delay_.count() > 0) loop_->RunFor(delay_);
  if (answers_.empty()) return false;
  answer = answers_.front();
  answers_.pop_front();
  return true;
}

void HeadlessModals::DoShowMessage(const std::string& text) {
  messages_.push_back(text);
  shown_.push_back("message: " + text);
  std::string ignored;
  TakeAnswer(ignored);  // any answer closes an information box
}

bool HeadlessModals::DoConfirm(const std::string& text) {
  messages_.push_back(text);
  shown_.push_back("confirm: " + text);
  std::string a;
  return !TakeAnswer(a) || a != "cancel";  // nothing queued: OK
}

void HeadlessModals::DoShowException(const std::string& message) {
  ShowMessage(message);
}

bool HeadlessModals::DoInputQuery(const std::string& caption, const std::string& prompt,
                                  std::string& value) {
  shown_.push_back("prompt: " + caption + ": " + prompt);
  std::string a;
  if (!TakeAnswer(a) || a == "cancel") return false;
  if (a != "ok") value = a;  // "ok" keeps the initial value
  return true;
}

bool HeadlessModals::DoFileDialog(FileDialogRequest& req) {
  shown_.push_back(std::string(req.save ? "save: " : "open: ") + req.fileName);
  fileRequests_.push_back(req);
  std::string a;
  if (!TakeAnswer(a) || a == "cancel" || a == "ok") return false;
  req.fileName = a;
  return true;
}

std::unique_ptr<TPrinter> HeadlessModals::DoPrintDialog() {
  shown_.push_back("print");
  std::string a;
  if (!TakeAnswer(a) || a == "cancel" || a == "ok") return nullptr;
  return std::make_unique<TPdfPrinter>(a);
}

}  // namespace dorv::ui
