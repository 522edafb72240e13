#pragma once
#include <chrono>
#include <deque>
#include <string>
#include <vector>

#include "ui/modal.h"

namespace dorv::ui {

class EventLoop;

// Modal services without a screen: every modal takes its answer from a queue
// (a test or a script fills it), after keeping the event loop running for a
// moment as a person would take to answer. Everything shown is recorded.
class HeadlessModals : public ModalServices {
 public:
  explicit HeadlessModals(EventLoop* loop) : loop_(loop) {}

  // "ok", "cancel" or a text (a prompt's input, a file path, a PDF path).
  void QueueAnswer(const std::string& answer) { answers_.push_back(answer); }
  void SetAnswerDelay(std::chrono::milliseconds d) { delay_ = d; }

  // Texts of every message box (with or without Cancel) and exception
  // display shown so far.
  const std::vector<std::string>& Messages() const { return messages_; }
  // One line per modal shown: kind and its title or text.
  const std::vector<std::string>& Shown() const { return shown_; }
  // Forgets what was shown so far (answers still queued stay).
  void Clear() {
    messages_.clear();
    shown_.clear();
    fileRequests_.clear();
  }
  // Requests of the file dialogs shown, in order.
  const std::vector<FileDialogRequest>& FileRequests() const { return fileRequests_; }

 protected:
  void DoShowMessage(const std::string& text) override;
  bool DoConfirm(const std::string& text) override;
  bool DoInputQuery(const std::string& caption, const std::string& prompt,
                    std::string& value) override;
  bool DoFileDialog(FileDialogRequest& req) override;
  std::unique_ptr<TPrinter> DoPrintDialog() override;
  void DoShowException(const std::string& message) override;

 private:
  // Keeps the loop running for the answer delay, then takes the next answer
  // (empty optional when none is queued).
  bool TakeAnswer(std::string& answer);

  EventLoop* loop_;
  std::deque<std::string> answers_;
  std::chrono::milliseconds delay_{300};
  std::vector<std::string> messages_;
  std::vector<std::string> shown_;
  std::vector<FileDialogRequest> fileRequests_;
};

}  // namespace dorv::ui
