#include "serial/serial_misc.h"

#include <algorithm>
#include <bit>

namespace dorv::serial {

std::string ComName(int n) {
  return "COM" + std::to_string(n);
}

void TSignalSet::Set(uint32_t bits) {
  std::lock_guard<std::mutex> lock(mutex_);
  state_ |= bits;
  // Notified under the lock: a waiter's variable lives on its stack and it
  // leaves the list only under this lock.
  for (Waiter* w = waiters_; w; w = w->next)
    if (w->mask & bits) w->cv.notify_one();
}

void TSignalSet::Reset(uint32_t bits) {
  std::lock_guard<std::mutex> lock(mutex_);
  state_ &= ~bits;
}

bool TSignalSet::IsSet(uint32_t bit) {
  std::lock_guard<std::mutex> lock(mutex_);
  return (state_ & bit) != 0;
}

bool TSignalSet::TryTake(uint32_t bit) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!(state_ & bit)) return false;
  state_ &= ~(bit & ~manual_);
  return true;
}

uint32_t TSignalSet::WaitAny(uint32_t mask, int timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto ready = [&] { return (state_ & mask) != 0; };
  if (!ready()) {
    if (timeoutMs == 0) return 0;
    Waiter self{mask, {}, waiters_};
    waiters_ = &self;
    bool got = true;
    if (timeoutMs < 0)
      self.cv.wait(lock, ready);
    else
      got = self.cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
    for (Waiter** p = &waiters_; *p; p = &(*p)->next)
      if (*p == &self) {
        *p = self.next;
        break;
      }
    if (!got) return 0;
  }
  uint32_t bit = 1u << std::countr_zero(state_ & mask);
  state_ &= ~(bit & ~manual_);
  return bit;
}

uint64_t CurrentMs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

uint32_t CurrentTick() {
  return static_cast<uint32_t>(CurrentMs() / kMsPerTick);
}

void NewTimer(EventTimer& t, uint32_t ticks) {
  ticks = std::min(ticks, kMaxTimerTicks);
  t.StartTicks = CurrentTick();
  t.ExpireTicks = t.StartTicks + ticks;  // wraps like the tick count
}

bool TimerExpired(const EventTimer& t) {
  // Differences of unsigned ticks stay right across the counter's wrap.
  return CurrentTick() - t.StartTicks >= t.ExpireTicks - t.StartTicks;
}

uint32_t TimerTicksRemaining(const EventTimer& t) {
  uint32_t elapsed = CurrentTick() - t.StartTicks;
  uint32_t length = t.ExpireTicks - t.StartTicks;
  return elapsed >= length ? 0 : length - elapsed;
}

void ExtendTimer(EventTimer& t, uint32_t ticks) {
  uint32_t length = std::min(t.ExpireTicks - t.StartTicks + ticks, kMaxTimerTicks);
  t.ExpireTicks = t.StartTicks + length;
}

}  // namespace dorv::serial
