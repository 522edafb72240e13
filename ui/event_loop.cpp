#include "ui/event_loop.h"

#include "ui/controls.h"

namespace dorv::ui {

namespace {
std::atomic<EventLoop*> g_current{nullptr};
}

EventLoop* EventLoop::Current() {
  return g_current.load();
}
void EventLoop::SetCurrent(EventLoop* loop) {
  g_current.store(loop);
}

EventLoop::EventLoop() : uiThread_(std::this_thread::get_id()) {}

EventLoop::~EventLoop() {
  // Release any thread still waiting on a call that will never run.
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& item : sync_) {
    item->state = 3;
    item->cv.notify_all();
  }
  sync_.clear();
}

void EventLoop::NotifyWork() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    woken_ = true;
  }
  cv_.notify_all();
  // Called under its lock rather than copied out: a copy of the hook would
  // cost an allocation at every arrival of work.
  std::lock_guard<std::mutex> lock(hookMutex_);
  if (wakeHook_) wakeHook_();
}

void EventLoop::SetWakeHook(Fn hook) {
  std::lock_guard<std::mutex> lock(hookMutex_);
  wakeHook_ = std::move(hook);
}

void EventLoop::Wake() {
  NotifyWork();
}

void EventLoop::Post(Fn fn) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    posted_.push_back(std::move(fn));
  }
  NotifyWork();
}

void EventLoop::PostIdle(Fn fn) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    idle_.push_back(std::move(fn));
  }
  NotifyWork();
}

bool EventLoop::SendSync(Fn fn, int timeoutMs, std::shared_ptr<void> keep) {
  if (IsUiThread()) {
    RunGuarded(fn);
    return true;
  }
  // The calling thread's record, free again once its last call has finished
  // or was withdrawn; a call still running after its time-out keeps its own.
  thread_local std::shared_ptr<SyncItem> spare;
  std::shared_ptr<SyncItem> item = spare ? std::move(spare) : std::make_shared<SyncItem>();
  item->fn = std::move(fn);
  item->keep = std::move(keep);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    item->state = 0;
    sync_.push_back(item);
  }
  NotifyWork();
  std::unique_lock<std::mutex> lock(mutex_);
  bool finished = item->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                    [&] { return item->state >= 2; });
  if (!finished && item->state == 0) {
    // Not started: withdraw it so that it never runs late.
    item->state = 3;
    for (auto it = sync_.begin(); it != sync_.end(); ++it)
      if (*it == item) {
        sync_.erase(it);
        break;
      }
  }
  bool done = item->state == 2;
  if (item->state >= 2) {
    // The loop is through with it (it notifies under the lock).
    item->fn = nullptr;
    item->keep.reset();
    spare = std::move(item);
  }
  return finished && done;
}

void EventLoop::RunGuarded(const Fn& fn) {
  try {
    fn();
  } catch (...) {
    if (onException_) onException_(std::current_exception());
  }
}

void EventLoop::ScheduleTimer(TTimer* t, int intervalMs) {
  if (intervalMs <= 0) {
    timers_.erase(t);
    return;
  }
  auto& e = timers_[t];
  e.interval = intervalMs;
  e.due = Clock::now() + std::chrono::milliseconds(intervalMs);
  NotifyWork();
}

void EventLoop::CancelTimer(TTimer* t) {
  timers_.erase(t);
}

std::optional<EventLoop::Clock::time_point> EventLoop::NextDue() {
  std::optional<Clock::time_point> best;
  for (auto& [t, e] : timers_)
    if (!e.running && (!best || e.due < *best)) best = e.due;
  return best;
}

bool EventLoop::FireDueTimer() {
  auto now = Clock::now();
  TTimer* chosen = nullptr;
  Clock::time_point best{};
  for (auto& [t, e] : timers_)
    if (!e.running && e.due <= now && (!chosen || e.due < best)) {
      chosen = t;
      best = e.due;
    }
  if (!chosen) return false;
  auto& e = timers_[chosen];
  e.due = now + std::chrono::milliseconds(e.interval);
  e.running = true;
  RunGuarded([chosen] { chosen->Fire(); });
  // The handler may have stopped or destroyed the timer.
  if (auto it = timers_.find(chosen); it != timers_.end()) it->second.running = false;
  return true;
}

bool EventLoop::ProcessOne() {
  std::shared_ptr<SyncItem> sync;
  Fn fn;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (SyncReady()) {
      sync = sync_.front();
      sync_.pop_front();
      sync->state = 1;
    } else if (!posted_.empty()) {
      fn = std::move(posted_.front());
      posted_.pop_front();
    }
  }
  if (sync) {
    ++syncDepth_;
    RunGuarded(sync->fn);
    --syncDepth_;
    // Notified under the lock: once the caller sees the state, the record is
    // its own again.
    std::lock_guard<std::mutex> lock(mutex_);
    sync->state = 2;
    sync->cv.notify_all();
    return true;
  }
  if (fn) {
    RunGuarded(fn);
    return true;
  }
  if (FireDueTimer()) return true;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!idle_.empty()) {
      fn = std::move(idle_.front());
      idle_.pop_front();
    }
  }
  if (fn) {
    RunGuarded(fn);
    return true;
  }
  return false;
}

void EventLoop::ProcessReady() {
  for (int i = 0; i < 1000 && ProcessOne(); ++i) {
  }
}

bool EventLoop::RunUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
  auto deadline = Clock::now() + timeout;
  for (;;) {
    if (pred && pred()) return true;
    if (ProcessOne()) continue;
    auto now = Clock::now();
    if (now >= deadline) return pred ? pred() : false;
    auto wakeAt = deadline;
    if (auto due = NextDue(); due && *due < wakeAt) wakeAt = *due;
    std::unique_lock<std::mutex> lock(mutex_);
    if (!woken_ && !SyncReady() && posted_.empty() && idle_.empty())
      cv_.wait_until(lock, wakeAt, [&] { return woken_; });
    woken_ = false;
  }
}

void EventLoop::RunFor(std::chrono::milliseconds ms) {
  RunUntil(nullptr, ms);
}

}  // namespace dorv::ui
