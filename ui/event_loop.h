#pragma once
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace dorv::ui {

class TTimer;

// The user-interface thread's message loop: posted calls, synchronous calls
// from other threads with a time-out, low-priority work (paints) and timers.
// A front end with a loop of its own (Qt) drives it through ProcessReady()
// and NextDue() and is told of new work through the wake hook; the headless
// runner drives it with RunFor()/RunUntil(). Handlers may run the loop again
// from inside (modal boxes do).
class EventLoop {
 public:
  using Fn = std::function<void()>;
  using Clock = std::chrono::steady_clock;

  EventLoop();
  ~EventLoop();

  bool IsUiThread() const { return std::this_thread::get_id() == uiThread_; }

  // Queue fn to run on the user-interface thread. Any thread.
  void Post(Fn fn);
  // Queue fn behind everything else waiting (used for paints). Any thread.
  void PostIdle(Fn fn);
  // Run fn on the user-interface thread and wait up to timeoutMs for it to
  // finish. True when it finished in time. On the user-interface thread fn
  // runs at once. A call the user-interface thread has not started when the
  // time is up is withdrawn and never runs; one already running goes on.
  // keep is held as long as the call may still run (fn may then capture
  // plain pointers into it). A thread's calls reuse one record, so a call
  // whose fn fits a std::function's own storage allocates nothing.
  bool SendSync(Fn fn, int timeoutMs, std::shared_ptr<void> keep = nullptr);

  // Process at most one waiting item (a synchronous call, a posted call, a
  // due timer, an idle item, in that order). False when nothing was ready.
  bool ProcessOne();
  // Process everything ready now (bounded, so that a timer due every pass
  // cannot starve the caller).
  void ProcessReady();
  // Run the loop for the given time, sleeping while nothing is ready.
  void RunFor(std::chrono::milliseconds ms);
  // Run until pred() holds (checked after every item) or the time is up.
  bool RunUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout);

  // While a synchronous call runs, further synchronous calls wait instead of
  // running from a loop nested inside it (a modal box opened by a receive
  // handler): they run once it has returned, or are withdrawn at their
  // time-out, so that such a handler is never entered twice. Off by default.
  void SetHoldNestedSync(bool hold) { holdNestedSync_ = hold; }

  // The earliest timer due time, if a timer runs.
  std::optional<Clock::time_point> NextDue();
  // Called from any thread whenever new work arrives or a timer is armed.
  void SetWakeHook(Fn hook);
  // Unblocks a sleeping RunFor/RunUntil.
  void Wake();

  // Timers (called by TTimer on the user-interface thread).
  void ScheduleTimer(TTimer* t, int intervalMs);
  void CancelTimer(TTimer* t);

  // Where exceptions escaping an item go (the application's display).
  void SetExceptionHandler(std::function<void(std::exception_ptr)> h) {
    onException_ = std::move(h);
  }

  // The loop of this process (set by the application object).
  static EventLoop* Current();
  static void SetCurrent(EventLoop* loop);

 private:
  struct SyncItem {
    Fn fn;
    std::shared_ptr<void> keep;
    int state = 0;  // 0 queued, 1 running, 2 done, 3 withdrawn
    std::condition_variable cv;
  };
  struct TimerEntry {
    Clock::time_point due;
    int interval;
    bool running = false;
  };

  void RunGuarded(const Fn& fn);
  bool SyncReady() const { return !sync_.empty() && !(holdNestedSync_ && syncDepth_ > 0); }
  void NotifyWork();
  bool FireDueTimer();

  std::thread::id uiThread_;
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::shared_ptr<SyncItem>> sync_;
  std::deque<Fn> posted_;
  std::deque<Fn> idle_;
  std::map<TTimer*, TimerEntry> timers_;  // user-interface thread only
  Fn wakeHook_;
  std::mutex hookMutex_;
  bool woken_ = false;
  std::function<void(std::exception_ptr)> onException_;
  bool holdNestedSync_ = false;  // user-interface thread only
  int syncDepth_ = 0;            // synchronous calls running now
};

}  // namespace dorv::ui
