#pragma once
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "ui/application.h"
#include "ui/headless_modals.h"

namespace dorv::tools {

// Runs a plain-text script of user actions against the forms of a running
// application: one command per line (see the README for the grammar).
// Exit codes: 0 all lines ran and held, 1 a failed expect/until (or a user
// action the window does not allow), 2 a script error.
class ScriptRunner {
 public:
  ScriptRunner(ui::TApplication& app, ui::HeadlessModals& modals, std::ostream& out,
               std::ostream& err);
  // A runner for a front end with real modal boxes: answers cannot be
  // queued, so "answer", "answer-delay" and "messages" are script errors.
  ScriptRunner(ui::TApplication& app, std::ostream& out, std::ostream& err);
  int Run(const std::vector<std::string>& lines);
  // Called after every line: a front end with a loop of its own lets it
  // handle what the line caused (paints, above all) before the next action.
  void SetAfterLine(std::function<void()> fn) { afterLine_ = std::move(fn); }

 private:
  struct Failure {
    int code;
    std::string message;
  };
  void RunLine(const std::string& line);
  // "Form1.Button4" -> the control (script error when unknown).
  ui::TComponent* Component(const std::string& ref, ui::TForm** formOut = nullptr);
  ui::TForm* Form(const std::string& name);
  // "F.C.P", "F.P" or "Form1.NAME" -> the value as text.
  std::string Read(const std::string& ref);
  bool Compare(const std::string& value, const std::string& op, const std::string& expected);
  void UserAction(const std::string& ref, const std::function<void(ui::TComponent&)>& act);

  ui::TApplication& app_;
  ui::HeadlessModals* modals_;
  std::ostream& out_;
  std::ostream& err_;
  bool closed_ = false;
  std::function<void()> afterLine_;
};

}  // namespace dorv::tools
