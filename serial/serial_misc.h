#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace dorv::serial {

// Base of the serial layer's components: the loading and design states that
// decide whether errors are raised or returned, and the component tag.
class TBaseComponent {
 public:
  virtual ~TBaseComponent() = default;

  bool Loading() const { return loading_; }
  bool Designing() const { return designing_; }
  int32_t Tag = 0;

  // Starts loading stored properties; Loaded() ends it.
  void BeginLoading() { loading_ = true; }
  virtual void Loaded() { loading_ = false; }

 protected:
  bool loading_ = false;
  bool designing_ = false;
};

// "COM" followed by n in decimal.
std::string ComName(int n);

// A set of signals, each auto-reset (cleared by the wait that takes it) or
// manual-reset (stays set until Reset), with waits on any of several. Every
// waiting thread has a condition variable of its own, and setting a signal
// wakes only the threads that wait for that signal.
class TSignalSet {
 public:
  explicit TSignalSet(uint32_t manualMask = 0) : manual_(manualMask) {}

  void Set(uint32_t bits);
  void Reset(uint32_t bits);
  bool IsSet(uint32_t bit);
  // Waits until one of the bits in mask is set, up to timeoutMs (-1 = no
  // limit). Returns that bit (the lowest set), taking it when auto-reset;
  // 0 on time-out.
  uint32_t WaitAny(uint32_t mask, int timeoutMs = -1);
  // Takes the bit if it is set, without waiting.
  bool TryTake(uint32_t bit);

 private:
  struct Waiter {
    uint32_t mask;
    std::condition_variable cv;
    Waiter* next;
  };

  std::mutex mutex_;
  Waiter* waiters_ = nullptr;  // the threads inside WaitAny now
  uint32_t state_ = 0;
  uint32_t manual_;
};

// Ticks of 55 ms from the millisecond clock.
constexpr uint32_t kMsPerTick = 55;
constexpr uint32_t kMaxTimerTicks = 39045157;
uint32_t CurrentTick();
uint64_t CurrentMs();

// A countdown in ticks.
struct EventTimer {
  uint32_t StartTicks = 0;
  uint32_t ExpireTicks = 0;
};
void NewTimer(EventTimer& t, uint32_t ticks);
bool TimerExpired(const EventTimer& t);
uint32_t TimerTicksRemaining(const EventTimer& t);
void ExtendTimer(EventTimer& t, uint32_t ticks);

}  // namespace dorv::serial
