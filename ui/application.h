#pragma once
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "ui/datetime.h"
#include "ui/event_loop.h"
#include "ui/form.h"
#include "ui/modal.h"

namespace dorv::ui {

// The application object: title, event loop, modal services, screen, clock,
// the forms in creation order and the exception display.
class TApplication {
 public:
  TApplication();
  ~TApplication();

  std::string Title;

  EventLoop& Loop() { return loop_; }
  ModalServices& Modals() { return *modals_; }
  // Replaces the modal services (the front end installs its own).
  void SetModals(std::unique_ptr<ModalServices> m) { modals_ = std::move(m); }

  int ScreenWidth() const { return screenW_; }
  int ScreenHeight() const { return screenH_; }
  void SetScreenSize(int w, int h) {
    screenW_ = w;
    screenH_ = h;
  }

  // The clock: the system's local time, or a fixed start that then runs on
  // in real time.
  TDateTime Now() const;
  void SetClock(TDateTime start);

  // Creates a form: constructs it, sets the caller's global reference, runs
  // its creation handler, and keeps it until the application ends. The first
  // form created is the main form.
  template <class T>
  T* CreateForm(T*& ref) {
    auto form = std::make_unique<T>();
    T* raw = form.get();
    ref = raw;
    forms_.push_back(std::move(form));
    if (!mainForm_) mainForm_ = raw;
    raw->DoCreate();
    return raw;
  }
  TForm* MainForm() const { return mainForm_; }
  TForm* FindForm(const std::string& name) const;
  std::vector<TForm*> Forms() const;
  // Destroys the forms, last created first.
  void DestroyForms();

  // Shows the message of an exception with the exception display.
  void HandleException(std::exception_ptr e);
  void ShowException(const std::exception& e);

  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  // Processes every waiting message / at most one waiting message.
  void ProcessMessages() { loop_.ProcessReady(); }
  void ProcessOneMessage() { loop_.ProcessOne(); }

 private:
  EventLoop loop_;
  std::unique_ptr<ModalServices> modals_;
  int screenW_ = 1024, screenH_ = 768;
  bool clockFixed_ = false;
  TDateTime clockStart_ = 0;
  EventLoop::Clock::time_point clockAnchor_;
  std::vector<std::unique_ptr<TForm>> forms_;
  TForm* mainForm_ = nullptr;
  bool terminated_ = false;
};

// The one application object of the process (null before it exists).
TApplication* Application();

}  // namespace dorv::ui
