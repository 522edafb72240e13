#pragma once
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "ui/event_loop.h"

namespace dorv::qtui {

// Runs the toolkit's event loop on Qt's: work that arrives (from any thread)
// is processed at the next turn of Qt's loop, and a single-shot timer fires
// the toolkit's timers when the earliest one is due. Qt's nested loops (modal
// dialogs) keep processing it the same way. Synchronous calls are held while
// one runs, so a handler delivered that way is never entered twice.
class LoopBridge {
 public:
  // afterWork runs after each batch of processed work (the front end checks
  // there whether the program was asked to end).
  explicit LoopBridge(ui::EventLoop& loop, std::function<void()> afterWork = {});
  ~LoopBridge();
  LoopBridge(const LoopBridge&) = delete;
  LoopBridge& operator=(const LoopBridge&) = delete;

 private:
  void Schedule();
  void Process();
  void ArmTimer();

  // What the wake hook (any thread) reaches; it may outlive the bridge.
  struct Waker {
    std::mutex mutex;
    LoopBridge* bridge = nullptr;
    std::atomic<bool> scheduled{false};
  };

  ui::EventLoop& loop_;
  std::function<void()> afterWork_;
  QObject context_;  // lives on the user-interface thread
  QTimer timer_;
  // Work that arrives is signalled through an eventfd watched by Qt's loop:
  // a write costs no allocation, unlike a posted call per arrival.
  int wakeFd_ = -1;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::shared_ptr<Waker> waker_ = std::make_shared<Waker>();
};

}  // namespace dorv::qtui
