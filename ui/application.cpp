#include "ui/application.h"

#include <atomic>

#include "ui/headless_modals.h"

namespace dorv::ui {

namespace {
std::atomic<TApplication*> g_app{nullptr};
}

TApplication* Application() {
  return g_app.load();
}

TApplication::TApplication() {
  modals_ = std::make_unique<HeadlessModals>(&loop_);
  loop_.SetExceptionHandler([this](std::exception_ptr e) { HandleException(e); });
  EventLoop::SetCurrent(&loop_);
  g_app.store(this);
}

TApplication::~TApplication() {
  DestroyForms();
  g_app.store(nullptr);
  EventLoop::SetCurrent(nullptr);
}

TDateTime TApplication::Now() const {
  if (!clockFixed_) return SystemNow();
  auto elapsed = std::chrono::duration<double, std::milli>(EventLoop::Clock::now() - clockAnchor_);
  return clockStart_ + elapsed.count() / 86400000.0;
}

void TApplication::SetClock(TDateTime start) {
  clockFixed_ = true;
  clockStart_ = start;
  clockAnchor_ = EventLoop::Clock::now();
}

TForm* TApplication::FindForm(const std::string& name) const {
  for (auto& f : forms_)
    if (f->Name() == name) return f.get();
  return nullptr;
}

std::vector<TForm*> TApplication::Forms() const {
  std::vector<TForm*> out;
  for (auto& f : forms_) out.push_back(f.get());
  return out;
}

void TApplication::DestroyForms() {
  while (!forms_.empty()) forms_.pop_back();
  mainForm_ = nullptr;
}

void TApplication::ShowException(const std::exception& e) {
  modals_->ShowException(e.what());
}

void TApplication::HandleException(std::exception_ptr e) {
  try {
    std::rethrow_exception(e);
  } catch (const std::exception& ex) {
    ShowException(ex);
  } catch (...) {
    modals_->ShowException("Unknown exception");
  }
}

}  // namespace dorv::ui
