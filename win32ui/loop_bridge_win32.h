#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "ui/event_loop.h"
#include "win32ui/win32.h"

namespace dorv::win32ui {

// Runs the toolkit's event loop on the Windows message loop of the
// user-interface thread: work that arrives from any thread is announced by a
// message posted to a hidden message-only window, and a window timer fires the
// toolkit's timers when the earliest one is due. Modal loops (message boxes,
// file dialogs) dispatch the same messages, so the toolkit keeps running
// under them. Synchronous calls are held while one runs, so a handler
// delivered that way is never entered twice.
class LoopBridge {
 public:
  // afterWork runs after each batch of processed work (the front end checks
  // there whether the program was asked to end).
  explicit LoopBridge(ui::EventLoop& loop, std::function<void()> afterWork = {});
  ~LoopBridge();
  LoopBridge(const LoopBridge&) = delete;
  LoopBridge& operator=(const LoopBridge&) = delete;

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void Schedule();
  void Process();
  void ArmTimer();

  // What the wake hook (any thread) reaches; it may outlive the bridge.
  struct Waker {
    std::mutex mutex;
    HWND hwnd = nullptr;
    std::atomic<bool> scheduled{false};
  };

  ui::EventLoop& loop_;
  std::function<void()> afterWork_;
  HWND hwnd_ = nullptr;
  std::shared_ptr<Waker> waker_ = std::make_shared<Waker>();
};

}  // namespace dorv::win32ui
