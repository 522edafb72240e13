#include "tools/script_runner.h"

#include <ostream>
#include <sstream>

#include "ui/text.h"

namespace dorv::tools {

using namespace std::chrono_literals;

namespace {

struct ScriptError {
  int code;
  std::string message;
};

[[noreturn]] void Syntax(const std::string& msg) {
  throw ScriptError{2, msg};
}
[[noreturn]] void Fail(const std::string& msg) {
  throw ScriptError{1, msg};
}

// Splits off the first blank-separated word; rest keeps everything after the
// single blank that follows it.
std::string Word(std::string& rest) {
  size_t sp = rest.find(' ');
  std::string w = rest.substr(0, sp);
  rest = sp == std::string::npos ? std::string() : rest.substr(sp + 1);
  return w;
}

int Number(const std::string& s, const char* what) {
  int v = 0;
  if (s.empty() || !ui::TryStrToInt(s, v) || v < 0) Syntax(std::string("bad ") + what + ": " + s);
  return v;
}

}  // namespace

ScriptRunner::ScriptRunner(ui::TApplication& app, ui::HeadlessModals& modals, std::ostream& out,
                           std::ostream& err)
    : app_(app), modals_(&modals), out_(out), err_(err) {}

ScriptRunner::ScriptRunner(ui::TApplication& app, std::ostream& out, std::ostream& err)
    : app_(app), modals_(nullptr), out_(out), err_(err) {}

int ScriptRunner::Run(const std::vector<std::string>& lines) {
  for (size_t i = 0; i < lines.size() && !closed_; ++i) {
    std::string line = lines[i];
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    try {
      RunLine(line.substr(first));
      app_.Loop().ProcessReady();
      if (afterLine_) afterLine_();
      out_.flush();
    } catch (const ScriptError& e) {
      out_.flush();
      err_ << "line " << (i + 1) << ": " << e.message << "\n  " << line << "\n";
      return e.code;
    }
    if (app_.Terminated()) break;
  }
  return 0;
}

ui::TForm* ScriptRunner::Form(const std::string& name) {
  ui::TForm* f = app_.FindForm(name);
  if (!f) Syntax("unknown form " + name);
  return f;
}

ui::TComponent* ScriptRunner::Component(const std::string& ref, ui::TForm** formOut) {
  size_t dot = ref.find('.');
  if (dot == std::string::npos) Syntax("expected FORM.CONTROL: " + ref);
  ui::TForm* f = Form(ref.substr(0, dot));
  std::string name = ref.substr(dot + 1);
  ui::TComponent* c = f->FindComponent(name);
  if (!c) Syntax("unknown control " + ref);
  if (formOut) *formOut = f;
  return c;
}

std::string ScriptRunner::Read(const std::string& ref) {
  size_t d1 = ref.find('.');
  if (d1 == std::string::npos) Syntax("expected FORM.PROPERTY: " + ref);
  ui::TForm* f = Form(ref.substr(0, d1));
  std::string rest = ref.substr(d1 + 1);
  std::string out;
  // A control and its property ("Items.Count" and "Lines[2]" keep their dots).
  size_t d2 = rest.find('.');
  if (d2 != std::string::npos) {
    if (ui::TComponent* c = f->FindComponent(rest.substr(0, d2))) {
      if (!c->GetProperty(rest.substr(d2 + 1), out))
        Syntax("unknown property " + rest.substr(d2 + 1) + " of " + ref.substr(0, d1 + 1 + d2));
      return out;
    }
  }
  if (f->GetProperty(rest, out)) return out;
  if (f->GetStateVariable(rest, out)) return out;
  Syntax("unknown name " + ref);
}

bool ScriptRunner::Compare(const std::string& value, const std::string& op,
                           const std::string& expected) {
  if (op == "==") return value == expected;
  if (op == "!=") return value != expected;
  if (op == "~") return value.find(expected) != std::string::npos;
  Syntax("unknown operator " + op);
}

void ScriptRunner::UserAction(const std::string& ref,
                              const std::function<void(ui::TComponent&)>& act) {
  ui::TForm* f = nullptr;
  ui::TComponent* c = Component(ref, &f);
  if (!f->Visible()) Fail(f->Name() + " is not shown");
  if (auto* ctl = dynamic_cast<ui::TControl*>(c)) {
    if (!ctl->Visible()) Fail(ref + " is not visible");
    if (!ctl->Enabled()) Fail(ref + " is not enabled");
  }
  // What a handler raises goes to the application's exception display, as
  // in the running program.
  try {
    act(*c);
  } catch (...) {
    app_.HandleException(std::current_exception());
  }
}

void ScriptRunner::RunLine(const std::string& line) {
  std::string rest = line;
  std::string cmd = Word(rest);

  if (cmd == "click" || cmd == "dblclick") {
    std::string ref = Word(rest);
    if (!rest.empty()) Syntax("unexpected text after " + ref);
    bool dbl = cmd == "dblclick";
    Component(ref);
    UserAction(ref, [&](ui::TComponent& c) {
      auto* ctl = dynamic_cast<ui::TControl*>(&c);
      if (!ctl) Syntax(ref + " cannot be clicked");
      if (dbl)
        ctl->UserDblClick();
      else
        ctl->UserClick();
    });
  } else if (cmd == "choose") {
    std::string ref = Word(rest);
    auto* cb = dynamic_cast<ui::TComboBox*>(Component(ref));
    if (!cb) Syntax(ref + " is not a combo box");
    UserAction(ref, [&](ui::TComponent&) { cb->UserChoose(rest); });
  } else if (cmd == "type") {
    std::string ref = Word(rest);
    auto* ed = dynamic_cast<ui::TEdit*>(Component(ref));
    if (!ed) Syntax(ref + " is not an edit or combo box");
    UserAction(ref, [&](ui::TComponent&) { ed->UserType(rest); });
  } else if (cmd == "scroll") {
    std::string ref = Word(rest);
    auto* bar = dynamic_cast<ui::TRangeControl*>(Component(ref));
    if (!bar || bar->GetKind() == ui::Kind::ProgressBar)
      Syntax(ref + " is not a scroll bar, track bar or up-down");
    int pos = 0;
    if (!ui::TryStrToInt(rest, pos)) Syntax("bad position: " + rest);
    UserAction(ref, [&](ui::TComponent&) { bar->SetPosition(pos); });
  } else if (cmd == "mouse") {
    std::string fname = Word(rest);
    std::string xs = Word(rest);
    std::string ys = Word(rest);
    if (!rest.empty()) Syntax("unexpected text after mouse coordinates");
    ui::TForm* f = Form(fname);
    int x = 0, y = 0;
    if (!ui::TryStrToInt(xs, x) || !ui::TryStrToInt(ys, y)) Syntax("bad coordinates");
    if (!f->Visible()) Fail(fname + " is not shown");
    try {
      f->UserMouseDown(ui::TMouseButton::mbLeft, x, y);
    } catch (...) {
      app_.HandleException(std::current_exception());
    }
  } else if ((cmd == "answer" || cmd == "answer-delay" || cmd == "messages") && !modals_) {
    Syntax(cmd + " needs the headless modal boxes");
  } else if (cmd == "answer") {
    if (rest.empty()) Syntax("answer needs ok, cancel or a text");
    modals_->QueueAnswer(rest);
  } else if (cmd == "answer-delay") {
    modals_->SetAnswerDelay(std::chrono::milliseconds(Number(rest, "delay")));
  } else if (cmd == "wait") {
    app_.Loop().RunFor(std::chrono::milliseconds(Number(rest, "time")));
  } else if (cmd == "until" || cmd == "expect" || cmd == "print") {
    std::string ref = Word(rest);
    if (ref.empty()) Syntax(cmd + " needs a name");
    if (cmd == "print") {
      if (!rest.empty()) Syntax("unexpected text after " + ref);
      out_ << ref << "=" << Read(ref) << "\n";
      return;
    }
    std::string op = Word(rest);
    if (op != "==" && op != "!=" && op != "~") Syntax("expected ==, != or ~ after " + ref);
    std::string expected = rest;
    int timeout = 5000;
    if (cmd == "until") {
      // A trailing whole number after the value is the time limit.
      size_t sp = rest.rfind(' ');
      int ms = 0;
      if (sp != std::string::npos && ui::TryStrToInt(rest.substr(sp + 1), ms) && ms >= 0 &&
          rest.substr(sp + 1).find_first_not_of("0123456789") == std::string::npos) {
        timeout = ms;
        expected = rest.substr(0, sp);
      }
      Read(ref);  // unknown names are script errors, not time-outs
      bool held = app_.Loop().RunUntil([&] { return Compare(Read(ref), op, expected); },
                                       std::chrono::milliseconds(timeout));
      if (!held)
        Fail("until " + ref + " " + op + " " + expected + " did not hold within " +
             std::to_string(timeout) + " ms (value: " + Read(ref) + ")");
      return;
    }
    std::string value = Read(ref);
    if (!Compare(value, op, expected))
      Fail("expect " + ref + " " + op + " " + expected + " failed (value: " + value + ")");
  } else if (cmd == "messages") {
    for (auto& m : modals_->Messages()) out_ << "message: " << m << "\n";
  } else if (cmd == "close") {
    ui::TForm* f = Form(rest);
    f->Close();
    if (f == app_.MainForm()) closed_ = true;
  } else {
    Syntax("unknown command " + cmd);
  }
}

}  // namespace dorv::tools
