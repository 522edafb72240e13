// The dispatcher's three threads: the communications thread that waits on the
// device and fills the receive ring, the dispatching thread that runs the
// triggers and delivers them, and the output thread that drains the output ring.
#include <algorithm>
#include <cstring>

#include "serial/dispatcher.h"
#include "serial/dispatcher_internal.h"
#include "serial/serial_port.h"
#include "ui/application.h"
#include "ui/event_loop.h"

namespace dorv::serial {

using internal::tl_dispatcherOfThread;
using platform::TComStat;
using platform::WaitResult;

namespace {

// Events of the communications thread's wait.
// Received bytes within kStreamGap of the last event are a stream, gathered
// for kStreamGather before the pass (about 23 characters at 115200 baud).
constexpr auto kStreamGap = std::chrono::milliseconds(5);
constexpr auto kStreamGather = std::chrono::milliseconds(2);
constexpr uint32_t kStreamPiece = 256;
constexpr uint32_t kComEventMask = platform::EV_RXCHAR | platform::EV_CTS | platform::EV_DSR |
                                   platform::EV_RLSD | platform::EV_BREAK | platform::EV_ERR |
                                   platform::EV_RING;
constexpr uint32_t kModemEvents =
    platform::EV_CTS | platform::EV_DSR | platform::EV_RLSD | platform::EV_RING | 0x2000;
constexpr uint32_t kLineEvents = platform::EV_BREAK | platform::EV_ERR;

// Modem status delta bits (the low nibble of the status register image).
constexpr uint32_t kDeltaCts = 0x01, kDeltaDsr = 0x02, kDeltaRi = 0x04, kDeltaDcd = 0x08;

}  // namespace

void TBaseDispatcher::ComThreadMain() {
  signals_.Set(kAck);
  auto lastEvent = std::chrono::steady_clock::time_point{};
  uint32_t lastQueued = queuedBlocks_;
  for (;;) {
    bool ringFull;
    {
      std::lock_guard<std::recursive_mutex> lock(inputLock_);
      ringFull = inFull_;
    }
    // With a full ring, waiting for received bytes would return at once
    // for bytes that cannot be moved yet: wait for the rest, and look again
    // after a moment.
    uint32_t mask = ringFull ? kComEventMask & ~platform::EV_RXCHAR : kComEventMask;
    uint32_t events = 0;
    WaitResult r = WaitComEvent(mask, events, ringFull ? 50 : -1);
    if (r == WaitResult::Failed || stopThreads_) break;
    if (r != WaitResult::Event) continue;
    // Received bytes that follow the last event closely, with nothing sent
    // since, are a slow stream (a paced download): gathered for a moment,
    // one pass then moves many bytes instead of one or two. The first bytes
    // after a pause, an answer to output (a reply, an echo) and a stream that
    // already comes in large pieces are passed on at once.
    auto now = std::chrono::steady_clock::now();
    uint32_t queued = queuedBlocks_;
    if (events == platform::EV_RXCHAR && queued == lastQueued && now - lastEvent < kStreamGap &&
        lastPassBytes_ < kStreamPiece)
      std::this_thread::sleep_for(kStreamGather);
    lastEvent = now;
    lastQueued = queued;
    if (events & platform::EV_RING) ringSeen_ = true;
    eventMask_ |= events;
    signals_.Set(kRxEvent);
    signals_.WaitAny(kRxDone);
    if (stopThreads_) break;
  }
  signals_.Set(kAck);
}

void TBaseDispatcher::DispThreadMain() {
  tl_dispatcherOfThread = this;
  signals_.Set(kAck);
  while (!stopThreads_ && !closeWhenIdle_) {
    signals_.WaitAny(kRxEvent | kWake, PassesWithoutEvents() ? 50 : -1);
    if (stopThreads_) break;
    bool statusHit = false;
    uint32_t events = eventMask_.exchange(0);
    if (events & kModemEvents) {
      std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
      if (events & platform::EV_CTS) modemStatus_ |= kDeltaCts;
      if (events & platform::EV_DSR) modemStatus_ |= kDeltaDsr;
      if (events & (platform::EV_RING | 0x2000)) modemStatus_ |= kDeltaRi;
      if (events & platform::EV_RLSD) modemStatus_ |= kDeltaDcd;
    }
    if ((events & kLineEvents)) RefreshStatus();
    if ((events & (kModemEvents | kLineEvents)) && !deliveringEvent_) {
      statusHit |= RunStatusTriggers();
      if (closeWhenIdle_) break;
    }
    ExtractData();
    if (!deliveringEvent_) {
      statusHit |= RunStatusTriggers();
      if (closeWhenIdle_) break;
      while (CheckReceiveTriggers() && !closeWhenIdle_) {
      }
      if (closeWhenIdle_) break;
    }
    if (statusHit) ResetStatusHits();
    signals_.Set(kRxDone);
    if (!closeWhenIdle_ && !deliveringEvent_) {
      {
        std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
        globalStatusHit_ = false;
      }
      bool hit = false;
      for (;;) {
        bool fired = CheckStatusTriggers();
        hit |= fired;
        if (closeWhenIdle_) break;
        if (!fired && !CheckTimerTriggers()) break;
        if (closeWhenIdle_) break;
      }
      if (hit) ResetStatusHits();
    }
  }
  signals_.Set(kAck);
  // When the close was left to this thread, it also stops the others and
  // releases the buffers as it ends.
  finishOnExit_ = closeWhenIdle_.load();
}

bool TBaseDispatcher::PassesWithoutEvents() {
  // A pass runs after every communications event. Passes every 50 ms are
  // needed only while something can change without one: a timer or status
  // trigger armed, unread bytes (a delivery left for later, a full ring
  // the application empties), or no thread waiting for events.
  if (!comAlive_ || deferredDelivery_) return true;
  {
    std::lock_guard<std::recursive_mutex> lock(inputLock_);
    if (inFull_ || inTail_ != inHead_) return true;
  }
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  return std::any_of(timerTriggers_.begin(), timerTriggers_.end(),
                     [](const TTimerTrigger& t) { return t.Active; }) ||
         std::any_of(statusTriggers_.begin(), statusTriggers_.end(),
                     [](const TStatusTrigger& t) { return t.Active; });
}

bool TBaseDispatcher::RunStatusTriggers() {
  bool any = false;
  while (CheckStatusTriggers()) {
    any = true;
    if (closeWhenIdle_) break;
  }
  return any;
}

void TBaseDispatcher::OutThreadMain() {
  signals_.Set(kAck);
  while (!stopThreads_ && !closeWhenIdle_) {
    uint32_t s = signals_.WaitAny(kTxData | kTxFlush);
    if (s == kTxData) {
      if (stopThreads_) break;
      WriteOutRing();
    } else if (s == kTxFlush) {
      signals_.Set(kFlushAck);
    }
  }
  // A flush that came with the stop is answered too.
  if (signals_.TryTake(kTxFlush)) signals_.Set(kFlushAck);
}

void TBaseDispatcher::WriteOutRing() {
  for (;;) {
    uint32_t chunk;
    const char* from;
    uint64_t generation;
    {
      std::lock_guard<std::recursive_mutex> lock(outputLock_);
      if (!outRing_ || (!outFull_ && outHead_ == outTail_)) return;
      if (outTail_ < outHead_) {
        chunk = outHead_ - outTail_;
      } else if (outHead_ > 0) {
        // The data wraps: make it contiguous so that it goes in one write.
        std::vector<char> head(outRing_.get(), outRing_.get() + outHead_);
        std::memmove(outRing_.get(), outRing_.get() + outTail_, outSize_ - outTail_);
        std::memcpy(outRing_.get() + outSize_ - outTail_, head.data(), head.size());
        outHead_ = outHead_ + outSize_ - outTail_;
        outTail_ = 0;
        chunk = outHead_;
        if (outHead_ == outSize_) outHead_ = 0;  // still full
      } else {
        chunk = outSize_ - outTail_;
      }
      from = outRing_.get() + outTail_;
      generation = flushGeneration_;
    }
    bool cancelled = false;
    long written = WriteDevice(from, chunk, cancelled);
    // A failed write drops the chunk.
    uint32_t count = written < 0 ? chunk : static_cast<uint32_t>(written);
    if (written > 0) owner_->NoteTraffic();
    {
      std::lock_guard<std::recursive_mutex> lock(outputLock_);
      if (generation == flushGeneration_ && outRing_ && count > 0) {
        outTail_ += count;
        if (outTail_ >= outSize_) outTail_ = 0;
        if (outTail_ == outHead_) outHead_ = outTail_ = 0;
        outFull_ = false;
      }
    }
    if (signals_.TryTake(kTxFlush)) {
      signals_.Set(kFlushAck);
      return;
    }
    if (stopThreads_ || (cancelled && count == 0 && !DeviceOpen())) return;
  }
}

}  // namespace dorv::serial
