#include "serial/dispatcher.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <fstream>

#include "serial/serial_errors.h"
#include "serial/serial_port.h"
#include "ui/application.h"
#include "ui/event_loop.h"

namespace dorv::serial {

using platform::TComStat;
using platform::TDcb;
using platform::WaitResult;

namespace {

// Dispatchers by handle (their index), process-wide.
std::recursive_mutex& PortListLock() {
  static std::recursive_mutex lock;
  return lock;
}
std::vector<TBaseDispatcher*>& PortList() {
  static std::vector<TBaseDispatcher*> list;
  return list;
}
int32_t g_cacheHandle = -1;
TBaseDispatcher* g_cacheDispatcher = nullptr;

uint32_t Wrap(uint32_t i) {
  return i % kDispatchBufferSize;
}

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

// The dispatcher whose dispatching thread this is (null elsewhere).
thread_local const TBaseDispatcher* tl_dispatcherOfThread = nullptr;

bool OnUiThread() {
  ui::EventLoop* loop = ui::EventLoop::Current();
  return loop && loop->IsUiThread();
}

// Lets the user-interface thread serve one waiting message (a synchronous
// delivery from a dispatching thread among them) while it waits.
bool SafeYield() {
  ui::EventLoop* loop = ui::EventLoop::Current();
  return loop && loop->IsUiThread() && loop->ProcessOne();
}

}  // namespace

bool MatchDataTrigger(TDataTrigger& t, char c) {
  if (t.Length == 0) return false;
  if (t.IgnoreCase) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::array<uint32_t, kMaxDataTriggerLength + 1> next{};
  std::size_t n = 0;
  bool done = false;
  for (uint32_t v : t.MatchState) {
    if (v == 0) continue;
    if (t.Data[v] == c) {
      if (v + 1 == t.Length) done = true;
      next[n++] = v + 1;
    }
  }
  if (t.Data[0] == c) {
    if (t.Length == 1) done = true;
    next[n++] = 1;
  }
  if (done) {
    t.MatchState.fill(0);
    t.Matched = true;
    return true;
  }
  t.MatchState = next;
  return false;
}

uint8_t StopBitsCode(uint32_t stopBits, uint32_t dataBits, uint8_t currentCode) {
  if (dataBits == 5) return TDcb::kOne5StopBits;
  if (stopBits == 0) stopBits = 1;
  if (stopBits == 3) return currentCode;
  if (stopBits > 3) stopBits = 2;
  return stopBits == 1 ? TDcb::kOneStopBit : TDcb::kTwoStopBits;
}

// ---------------------------------------------------------------- lifetime

TBaseDispatcher::TBaseDispatcher(TCustomSerialPort* owner)
    : signals_(0 /* all auto-reset */), owner_(owner) {
  std::lock_guard<std::recursive_mutex> lock(PortListLock());
  auto& list = PortList();
  auto it = std::find(list.begin(), list.end(), nullptr);
  if (it != list.end()) {
    *it = this;
    handle_ = static_cast<int32_t>(it - list.begin());
  } else {
    list.push_back(this);
    handle_ = static_cast<int32_t>(list.size() - 1);
  }
}

void TBaseDispatcher::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  if (closeWhenIdle_)
    DonePortPrim();
  else
    DonePort();
  for (std::thread* t : {&comThread_, &dispThread_, &outThread_}) {
    if (!t->joinable()) continue;
    if (t->get_id() == std::this_thread::get_id())
      t->detach();
    else
      t->join();
  }
}

TBaseDispatcher::~TBaseDispatcher() {
  // The concrete dispatcher has run Shutdown() while its device existed.
  std::lock_guard<std::recursive_mutex> lock(PortListLock());
  auto& list = PortList();
  if (handle_ >= 0 && handle_ < static_cast<int32_t>(list.size())) list[handle_] = nullptr;
  while (!list.empty() && !list.back()) list.pop_back();
  if (g_cacheDispatcher == this) {
    g_cacheDispatcher = nullptr;
    g_cacheHandle = -1;
  }
}

TBaseDispatcher* TBaseDispatcher::GetTComRecPtr(int32_t handle) {
  std::lock_guard<std::recursive_mutex> lock(PortListLock());
  if (handle == g_cacheHandle && g_cacheDispatcher) return g_cacheDispatcher;
  auto& list = PortList();
  if (handle < 0 || handle >= static_cast<int32_t>(list.size()) || !list[handle]) return nullptr;
  g_cacheHandle = handle;
  g_cacheDispatcher = list[handle];
  return list[handle];
}

void TBaseDispatcher::LockPortList() {
  PortListLock().lock();
}
void TBaseDispatcher::UnlockPortList() {
  PortListLock().unlock();
}

// ---------------------------------------------------------------- open/close

int32_t TBaseDispatcher::InitPort(const std::string& name, int32_t baud, uint32_t parity,
                                  uint32_t dataBits, uint32_t stopBits, uint32_t inSize,
                                  uint32_t outSize, bool dtr, bool rts) {
  ringSeen_ = false;
  deliveringEvent_ = false;
  purgeHandlers_ = false;
  signals_.Reset(~0u);

  int32_t rc = OpenCom(name, inSize, outSize);
  if (rc == 0) rc = SetCommBuffers(inSize, outSize);
  if (rc == 0) {
    {
      std::scoped_lock lock(inputLock_, dispatchLock_, outputLock_);
      dispatchBuffer_ = std::make_unique<char[]>(kDispatchBufferSize);
      outRing_ = std::make_unique<char[]>(outSize ? outSize : 1);
      outHead_ = outTail_ = 0;
      outFull_ = false;
      inSize_ = inSize;
      outSize_ = outSize;
      lineErrors_ = 0;
      closeWhenIdle_ = false;
      txWritten_ = false;
      inFull_ = false;
      handlerReadCount_ = 0;
      rs485Mode_ = false;
      inHead_ = inTail_ = 0;
      inTotal_ = scanTotal_ = notifiedTotal_ = 0;
      inAvailDelivery_ = false;
    }
    GetComState(dcb_);
    SetDtr(dtr);
    SetRts(rts);
    RemoveAllTriggers();
    ResetStatusHits();
    uint32_t ms = 0;
    GetModemStatusPrim(ms);
    modemStatus_ = ms;
    lastBaud_ = 115200;
    rc = SetLine(baud, parity, dataBits, stopBits);
  }
  if (rc != 0) {
    DonePort();
    return rc;
  }
  RefreshStatus();
  {
    std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
    trace_ = {};
    log_ = {};
    logStartMs_ = CurrentMs();
  }
  StartDispatcher();
  return 0;
}

bool TBaseDispatcher::DonePort() {
  if (DeviceOpen()) {
    FlushOutBuffer();
    FlushInBuffer();
    {
      // Taken together with the delivery's start, so that either the
      // delivery sees the stop or the close sees the delivery.
      std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
      if (threadsRunning_) stopThreads_ = true;
      if (deliveringEvent_) closeWhenIdle_ = true;
    }
    CloseCom();
  }
  if (closeWhenIdle_) return true;
  DonePortPrim();
  return false;
}

void TBaseDispatcher::DonePortPrim() {
  if (threadsRunning_) StopDispatcher();
  ReleaseBuffers();
}

void TBaseDispatcher::ReleaseBuffers() {
  // Reached by the closing call and by the dispatching thread as it ends;
  // the locks make the release happen once, after the threads are done.
  std::scoped_lock lock(inputLock_, dispatchLock_, outputLock_);
  dispatchBuffer_.reset();
  outRing_.reset();
}

void TBaseDispatcher::StartDispatcher() {
  {
    std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
    if (threadsRunning_) throw std::logic_error("Dispatcher already started");
    threadsRunning_ = true;
    stopThreads_ = false;
  }
  struct ThreadStart {
    std::thread* thread;
    void (TBaseDispatcher::*body)();
    std::atomic<bool>* alive;
  };
  for (ThreadStart s : {ThreadStart{&comThread_, &TBaseDispatcher::ComThreadMain, &comAlive_},
                        ThreadStart{&dispThread_, &TBaseDispatcher::DispThreadMain, &dispAlive_},
                        ThreadStart{&outThread_, &TBaseDispatcher::OutThreadMain, &outAlive_}}) {
    ++liveThreads_;
    *s.alive = true;
    *s.thread = std::thread(&TBaseDispatcher::RunThread, this, s.body, std::ref(*s.alive));
    signals_.WaitAny(kAck, 3000);  // a late start is not an error
  }
}

void TBaseDispatcher::StopDispatcher() {
  // No lock is held while waiting: a delivery that begins meanwhile must be
  // able to take DispatchLock for its bookkeeping.
  if (!threadsRunning_) return;
  stopThreads_ = true;
  if (outAlive_) {
    signals_.Set(kTxFlush);
    CancelDeviceWrite();
    WaitThreadGone(outAlive_);
  }
  if (comAlive_) {
    CancelComWait();
    signals_.Set(kRxDone);
    WaitThreadGone(comAlive_);
  }
  if (tl_dispatcherOfThread != this) {
    signals_.Set(kRxEvent);  // ends its 50 ms wait at once
    WaitThreadGone(dispAlive_);
  }
}

void TBaseDispatcher::WaitThreadGone(const std::atomic<bool>& alive) {
  while (alive) {
    if (SafeYield()) continue;
    std::unique_lock<std::mutex> lock(goneMutex_);
    goneCv_.wait_for(lock, std::chrono::milliseconds(OnUiThread() ? 1 : 50),
                     [&] { return !alive; });
  }
}

bool TBaseDispatcher::WaitThreadsEnded(int ms) {
  std::unique_lock<std::mutex> lock(goneMutex_);
  return goneCv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return !threadsRunning_; });
}

void TBaseDispatcher::RunThread(void (TBaseDispatcher::*body)(), std::atomic<bool>& alive) {
  try {
    (this->*body)();
  } catch (...) {
    // Shown by the application's exception display; the thread ends.
    signals_.Set(kAck);
    if (ui::EventLoop* loop = ui::EventLoop::Current()) {
      loop->Post([e = std::current_exception()] {
        if (ui::Application()) ui::Application()->HandleException(e);
      });
    }
  }
  ThreadGone(alive, &alive == &dispAlive_);
}

void TBaseDispatcher::ThreadGone(std::atomic<bool>& alive, bool dispThread) {
  {
    std::lock_guard<std::mutex> lock(goneMutex_);
    alive = false;
  }
  goneCv_.notify_all();
  if (dispThread && finishOnExit_) {
    finishOnExit_ = false;
    DonePortPrim();
  }
  std::lock_guard<std::mutex> lock(goneMutex_);
  if (--liveThreads_ == 0) threadsRunning_ = false;
  goneCv_.notify_all();
  // Nothing of the dispatcher is touched after this point: the owner may
  // free it as soon as ThreadsRunning is false (it joins this thread first).
}

// ---------------------------------------------------------------- threads

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

// ---------------------------------------------------------------- receiving

uint32_t TBaseDispatcher::GetComError(TComStat& stat) {
  uint32_t errors = DeviceError(stat);
  std::lock_guard<std::recursive_mutex> lock(outputLock_);
  uint32_t used = 0;
  if (outFull_)
    used = outSize_;
  else if (outTail_ < outHead_)
    used = outHead_ - outTail_;
  else if (outHead_ < outTail_)
    used = outHead_ + outSize_ - outTail_;
  stat.cbOutQue = used;
  return errors;
}

void TBaseDispatcher::RefreshStatus() {
  TComStat stat;
  uint32_t errors = GetComError(stat);
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  comStat_ = stat;
  lineErrors_ |= errors & 0x1F;
}

uint32_t TBaseDispatcher::UnreadLocked() const {
  if (inFull_) return kDispatchBufferSize;
  return Wrap(inTail_ + kDispatchBufferSize - inHead_);
}

void TBaseDispatcher::ExtractData() {
  std::lock_guard<std::recursive_mutex> lock(inputLock_);
  lastPassBytes_ = 0;
  if (inFull_ || !dispatchBuffer_) return;
  RefreshStatus();
  // The driver's count tells "nothing yet" from a hang-up, which a terminal
  // without a minimum read count reports alike (a read of 0 bytes).
  uint32_t n;
  {
    std::lock_guard<std::recursive_mutex> dl(dispatchLock_);
    n = comStat_.cbInQue;
  }
  if (n == 0) return;
  uint32_t room = kDispatchBufferSize - UnreadLocked();
  uint32_t total = std::min(room, n);
  uint32_t chunk = inHead_ > inTail_ ? inHead_ - inTail_ : kDispatchBufferSize - inTail_;
  auto advance = [&](long got) {
    if (got <= 0) return;
    owner_->NoteTraffic();
    AddTrace('R', dispatchBuffer_.get() + inTail_, static_cast<uint32_t>(got));
    inTail_ = Wrap(inTail_ + static_cast<uint32_t>(got));
    inTotal_ += static_cast<uint64_t>(got);
    lastPassBytes_ += static_cast<uint32_t>(got);
    inFull_ = inTail_ == inHead_;
  };
  long got = ReadCom(dispatchBuffer_.get() + inTail_, chunk);
  if (got < 0) got = 0;
  advance(got);
  if (static_cast<uint32_t>(got) == chunk && total > chunk && !inFull_) {
    // The rest, at the ring's start. A failed read yields no bytes (its
    // error code is not a count).
    long more = ReadCom(dispatchBuffer_.get() + inTail_, total - chunk);
    if (more > 0) advance(std::min<long>(more, total - chunk));
  }
}

bool TBaseDispatcher::CharReady() {
  std::lock_guard<std::recursive_mutex> lock(inputLock_);
  if (!dispatchBuffer_) return false;
  if (inAvailDelivery_) return handlerReadCount_ < UnreadLocked();
  return inTail_ != inHead_ || inFull_;
}

int32_t TBaseDispatcher::PeekChar(char& c, uint32_t position) {
  std::lock_guard<std::recursive_mutex> lock(inputLock_);
  if (!dispatchBuffer_ || position == 0) return ecBufferIsEmpty;
  uint32_t skip = inAvailDelivery_ ? handlerReadCount_ : 0;
  if (skip + position > UnreadLocked()) return ecBufferIsEmpty;
  c = dispatchBuffer_[Wrap(inHead_ + skip + position - 1)];
  return 0;
}

int32_t TBaseDispatcher::GetChar(char& c) {
  std::lock_guard<std::recursive_mutex> lock(inputLock_);
  if (!dispatchBuffer_) return ecBufferIsEmpty;
  if (inAvailDelivery_) {
    // Counted only; the delivery removes what its handlers read.
    if (handlerReadCount_ >= UnreadLocked()) return ecBufferIsEmpty;
    c = dispatchBuffer_[Wrap(inHead_ + handlerReadCount_)];
    ++handlerReadCount_;
  } else {
    if (UnreadLocked() == 0) return ecBufferIsEmpty;
    c = dispatchBuffer_[inHead_];
    inHead_ = Wrap(inHead_ + 1);
    inFull_ = false;
  }
  return 0;
}

int32_t TBaseDispatcher::PeekBlock(char* buf, uint32_t n) {
  std::lock_guard<std::recursive_mutex> lock(inputLock_);
  for (uint32_t i = 0; i < n; ++i)
    if (PeekChar(buf[i], i + 1) != 0) return ecBufferIsEmpty;
  return static_cast<int32_t>(n);
}

int32_t TBaseDispatcher::GetBlock(char* buf, uint32_t n) {
  std::lock_guard<std::recursive_mutex> lock(inputLock_);
  if (n > InBuffUsed()) return ecGetBlockFail;
  for (uint32_t i = 0; i < n; ++i) GetChar(buf[i]);
  return static_cast<int32_t>(n);
}

int32_t TBaseDispatcher::FlushInBuffer() {
  std::lock_guard<std::recursive_mutex> lock(inputLock_);
  int32_t rc = FlushDevice(platform::PURGE_RXABORT | platform::PURGE_RXCLEAR);
  if (inAvailDelivery_) {
    maxHandlerReadCount_ = UnreadLocked();
  } else {
    inHead_ = inTail_;
    handlerReadCount_ = 0;
  }
  inFull_ = false;
  std::lock_guard<std::recursive_mutex> dl(dispatchLock_);
  for (auto& t : dataTriggers_) {
    t.MatchState.fill(0);
    t.Matched = false;
  }
  return rc;
}

uint32_t TBaseDispatcher::InBuffUsed() {
  std::lock_guard<std::recursive_mutex> lock(inputLock_);
  uint32_t used = UnreadLocked();
  return inAvailDelivery_ ? used - std::min(used, handlerReadCount_) : used;
}

uint32_t TBaseDispatcher::InBuffFree() {
  return kDispatchBufferSize - InBuffUsed();
}

// ---------------------------------------------------------------- sending

int32_t TBaseDispatcher::PutBlock(const char* data, uint32_t n) {
  if (n == 0) return 0;
  uint32_t errors;
  {
    std::lock_guard<std::recursive_mutex> lock(outputLock_);
    if (!outRing_) return ecCommNotOpen;
    TComStat stat;
    errors = GetComError(stat);
    uint32_t room = outSize_ - stat.cbOutQue;
    if (n > room) return ecOutputBufferTooSmall;
    uint32_t first = std::min(n, outSize_ - outHead_);
    std::memcpy(outRing_.get() + outHead_, data, first);
    std::memcpy(outRing_.get(), data + first, n - first);
    outHead_ = (outHead_ + n) % outSize_;
    if (n == room) outFull_ = true;
  }
  owner_->NoteTraffic();
  ++queuedBlocks_;
  signals_.Set(kTxData);
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  lineErrors_ = errors & 0x1F;
  txWritten_ = true;
  AddTrace('T', data, n);
  if (log_.on && !log_.paused) AddLog("PutBlock " + std::to_string(n));
  return 0;
}

int32_t TBaseDispatcher::FlushOutBuffer() {
  if (outAlive_) {
    signals_.Set(kTxFlush);
    CancelDeviceWrite();
    // Until the output thread has stopped writing (or has ended).
    while (outAlive_ && !signals_.WaitAny(kFlushAck, 20)) {
    }
    signals_.Reset(kFlushAck);
  }
  std::lock_guard<std::recursive_mutex> lock(outputLock_);
  outFull_ = false;
  outHead_ = outTail_ = 0;
  ++flushGeneration_;
  return FlushDevice(platform::PURGE_TXABORT | platform::PURGE_TXCLEAR);
}

uint32_t TBaseDispatcher::OutBuffUsed() {
  RefreshStatus();
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  return comStat_.cbOutQue;
}

uint32_t TBaseDispatcher::OutBuffFree() {
  return outSize_ - OutBuffUsed();
}

// ---------------------------------------------------------------- line settings

void TBaseDispatcher::WaitTxSent() {
  for (int i = 0; i < 5000 && OutBuffUsed() != 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  TDcb dcb;
  if (GetComState(dcb) != 0 || dcb.BaudRate == 0) return;
  uint32_t bits = dcb.ByteSize + 3 - (dcb.StopBits == TDcb::kOneStopBit ? 1 : 0) +
                  (dcb.Parity != TDcb::kNoParity ? 1 : 0);
  double t = 10000000.0 / dcb.BaudRate * bits * 18;  // 100 ns units
  if (t < 10000) t *= 2;
  std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<long>(std::ceil(t / 10000))));
}

int32_t TBaseDispatcher::SetLine(int32_t baud, uint32_t parity, uint32_t dataBits,
                                 uint32_t stopBits) {
  std::unique_lock<std::recursive_mutex> lock(dispatchLock_);
  TDcb dcb;
  int32_t rc = GetComState(dcb);
  if (rc != 0) return rc;
  uint32_t newBaud = baud == 0 ? dcb.BaudRate : static_cast<uint32_t>(baud);
  uint8_t newParity = parity == 5 ? dcb.Parity : static_cast<uint8_t>(parity);
  uint8_t newBits = dataBits == 9 ? dcb.ByteSize : static_cast<uint8_t>(dataBits);
  uint8_t newStop = StopBitsCode(stopBits, newBits, dcb.StopBits);
  if (newBaud == dcb.BaudRate && newParity == dcb.Parity && newBits == dcb.ByteSize &&
      newStop == dcb.StopBits && dcb.fBinary && !dcb.fParity && !dcb.fDsrSensitivity &&
      dcb.fTXContinueOnXoff && !dcb.fNull)
    return 0;
  lock.unlock();
  WaitTxSent();
  lock.lock();
  rc = GetComState(dcb);
  if (rc != 0) return rc;
  dcb.fBinary = true;
  dcb.fParity = false;
  dcb.fDsrSensitivity = false;
  dcb.fTXContinueOnXoff = true;
  dcb.fNull = false;
  dcb.BaudRate = newBaud;
  dcb.Parity = newParity;
  dcb.ByteSize = newBits;
  dcb.StopBits = newStop;
  return SetCommStateFix(dcb);
}

int32_t TBaseDispatcher::SetCommStateFix(TDcb& dcb) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  if (!dtrAuto_) dcb.fDtrControl = TDcb::kDtrDisable;
  if (!rtsAuto_) dcb.fRtsControl = TDcb::kRtsDisable;
  int32_t rc = SetComState(dcb);
  if (rc == 0) {
    dcb_ = dcb;
    lastBaud_ = dcb.BaudRate;
  }
  SetDtr(dtrState_);
  if (!rs485Mode_) SetRts(rtsState_);
  return rc;
}

int32_t TBaseDispatcher::SetDtr(bool on) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  if (dtrAuto_) return 1;
  int32_t rc = EscapeComFunction(on ? platform::SETDTR : platform::CLRDTR);
  dtrState_ = on;
  return rc;
}

int32_t TBaseDispatcher::SetRts(bool on) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  if (rtsAuto_) return 1;
  int32_t rc = EscapeComFunction(on ? platform::SETRTS : platform::CLRRTS);
  rtsState_ = on;
  return rc;
}

int32_t TBaseDispatcher::SetBreak(bool on) {
  return EscapeComFunction(on ? platform::SETBREAK : platform::CLRBREAK);
}

int32_t TBaseDispatcher::HWFlowOptions(uint32_t bufferFull, uint32_t bufferResume,
                                       uint32_t options) {
  if (bufferFull < bufferResume || bufferFull > inSize_) return ecBadArgument;
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  TDcb dcb;
  int32_t rc = GetComState(dcb);
  if (rc != 0) return rc;
  dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = false;
  dcb.fDtrControl = TDcb::kDtrDisable;
  dcb.fRtsControl = TDcb::kRtsDisable;
  dtrAuto_ = rtsAuto_ = false;
  if (options & 1) {
    dcb.fDtrControl = TDcb::kDtrHandshake;
    dtrAuto_ = true;
  } else if (dtrState_) {
    dcb.fDtrControl = TDcb::kDtrEnable;
  }
  if (options & 2) {
    dcb.fRtsControl = TDcb::kRtsHandshake;
    rtsAuto_ = true;
  } else if (rtsState_) {
    dcb.fRtsControl = TDcb::kRtsEnable;
  }
  if (rs485Mode_) {
    dcb.fRtsControl = TDcb::kRtsToggle;
    rtsAuto_ = true;
  }
  dcb.XoffLim = static_cast<uint16_t>(inSize_ - bufferFull);
  dcb.XonLim = static_cast<uint16_t>(bufferResume);
  if (options & 4) dcb.fOutxDsrFlow = true;
  if (options & 8) dcb.fOutxCtsFlow = true;
  return SetCommStateFix(dcb);
}

int32_t TBaseDispatcher::SWFlowEnable(uint32_t bufferFull, uint32_t bufferResume, uint32_t mode) {
  if (bufferFull < bufferResume || bufferFull > inSize_) return ecBadArgument;
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  TDcb dcb;
  int32_t rc = GetComState(dcb);
  if (rc != 0) return rc;
  if (mode & 2) {
    dcb.fInX = true;
    dcb.XoffLim = static_cast<uint16_t>(inSize_ - bufferFull);
    dcb.XonLim = static_cast<uint16_t>(bufferResume);
  }
  if (mode & 1) dcb.fOutX = true;
  if (mode & 3) {
    dcb.XonChar = 17;
    dcb.XoffChar = 19;
  }
  return SetCommStateFix(dcb);
}

int32_t TBaseDispatcher::SWFlowDisable() {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  TDcb dcb;
  int32_t rc = GetComState(dcb);
  if (rc != 0) return rc;
  dcb.fOutX = dcb.fInX = false;
  return SetCommStateFix(dcb);
}

int32_t TBaseDispatcher::SWFlowChars(char xon, char xoff) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  TDcb dcb;
  int32_t rc = GetComState(dcb);
  if (rc != 0) return rc;
  dcb.XonChar = xon;
  dcb.XoffChar = xoff;
  return SetCommStateFix(dcb);
}

int32_t TBaseDispatcher::SetCommBuffers(uint32_t inSize, uint32_t outSize) {
  return SetupCom(inSize, outSize);
}

void TBaseDispatcher::SetThreadBoost(TThreadBoost boost) {
  // Recorded only: the threads keep the normal priority on this platform.
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  threadBoost_ = boost;
}

void TBaseDispatcher::SetRS485Mode(bool on) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  rs485Mode_ = on;
}

uint32_t TBaseDispatcher::GetModemStatus() {
  uint32_t ms = 0;
  GetModemStatusPrim(ms);
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  modemStatus_ = (modemStatus_ & 0x0F) | (ms & 0xF0);
  uint32_t result = modemStatus_;
  modemStatus_ &= 0xF0;  // the delta bits are reported once
  return result;
}

uint32_t TBaseDispatcher::GetLineError() {
  RefreshStatus();
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  uint32_t e = lineErrors_ & (leRxOverrun | leOverrun | leParity | leFraming);
  lineErrors_ &= ~(leRxOverrun | leOverrun | leParity | leFraming);
  return e;
}

bool TBaseDispatcher::GetLineBreak() {
  RefreshStatus();
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  bool b = (lineErrors_ & leBreak) != 0;
  lineErrors_ &= ~leBreak;
  return b;
}

int32_t TBaseDispatcher::CheckLineBreak() {
  return GetLineBreak() ? 1 : 0;
}

// ---------------------------------------------------------------- triggers

void TBaseDispatcher::ChangeLengthTrigger(uint32_t length) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  triggerLength_ = length;
  AddLog("ChangeLengthTrigger " + std::to_string(length));
}

uint32_t TBaseDispatcher::TriggerLength() {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  return triggerLength_;
}

bool TBaseDispatcher::HandleInUse(int32_t handle) const {
  for (auto& t : timerTriggers_)
    if (t.Handle == handle) return true;
  for (auto& t : dataTriggers_)
    if (t.Handle == handle) return true;
  for (auto& t : statusTriggers_)
    if ((t.Handle & ~7) == handle) return true;
  return false;
}

int32_t TBaseDispatcher::NewTriggerHandle() {
  if (triggerCounter_ < 4096) return 8 * triggerCounter_++;
  for (int32_t h = 8;; h += 8)
    if (!HandleInUse(h)) return h;
}

int32_t TBaseDispatcher::AddDataTrigger(const std::string& s, bool ignoreCase) {
  return AddDataTriggerLen(s.data(), ignoreCase, static_cast<uint32_t>(s.size()));
}

int32_t TBaseDispatcher::AddDataTriggerLen(const char* s, bool ignoreCase, uint32_t length) {
  if (length > kMaxDataTriggerLength) return ecTriggerTooLong;
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  TDataTrigger t;
  t.Handle = NewTriggerHandle();
  t.Length = length;
  t.IgnoreCase = ignoreCase;
  for (uint32_t i = 0; i < length; ++i)
    t.Data[i] =
        ignoreCase ? static_cast<char>(std::toupper(static_cast<unsigned char>(s[i]))) : s[i];
  dataTriggers_.push_back(t);
  AddLog("AddDataTrigger " + std::to_string(t.Handle));
  return t.Handle;
}

int32_t TBaseDispatcher::AddTimerTrigger() {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  TTimerTrigger t;
  t.Handle = NewTriggerHandle();
  timerTriggers_.push_back(t);
  return t.Handle;
}

int32_t TBaseDispatcher::SetTimerTrigger(int32_t handle, uint32_t ticks, bool activate) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  for (auto& t : timerTriggers_)
    if (t.Handle == handle) {
      t.Ticks = ticks;
      t.Active = activate;
      if (activate) {
        NewTimer(t.Timer, ticks);
        signals_.Set(kWake);  // the dispatching thread watches the clock again
      }
      return 0;
    }
  return ecBadTriggerHandle;
}

int32_t TBaseDispatcher::ExtendTimer(int32_t handle, uint32_t ticks) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  for (auto& t : timerTriggers_)
    if (t.Handle == handle) {
      serial::ExtendTimer(t.Timer, ticks);
      return 0;
    }
  return ecBadTriggerHandle;
}

int32_t TBaseDispatcher::TimerTicksRemaining(int32_t handle, uint32_t& ticks) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  for (auto& t : timerTriggers_)
    if (t.Handle == handle) {
      ticks = t.Active ? serial::TimerTicksRemaining(t.Timer) : 0;
      return 0;
    }
  return ecBadTriggerHandle;
}

int32_t TBaseDispatcher::AddStatusTrigger(uint16_t type) {
  if (type > stOutSent) return ecBadArgument;
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  TStatusTrigger t;
  t.Handle = NewTriggerHandle() | type;
  t.Type = type;
  statusTriggers_.push_back(t);
  return t.Handle;
}

int32_t TBaseDispatcher::SetStatusTrigger(int32_t handle, uint32_t value, bool activate) {
  uint32_t armedModem = 0;
  if ((handle & 7) == stModem) armedModem = GetModemStatus() & 0xF0;
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  for (auto& t : statusTriggers_)
    if (t.Handle == handle) {
      t.Value = value;
      t.Active = activate;
      t.Hit = false;
      t.ArmedModem = armedModem;
      if (t.Type == stOutSent) txWritten_ = false;
      if (activate) signals_.Set(kWake);
      return 0;
    }
  return ecBadTriggerHandle;
}

int32_t TBaseDispatcher::RemoveTrigger(int32_t handle) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  if (handle == 1) {
    triggerLength_ = 0;
    return 0;
  }
  auto drop = [&](auto& list, auto match) {
    auto it = std::find_if(list.begin(), list.end(), match);
    if (it == list.end()) return false;
    list.erase(it);
    return true;
  };
  if (drop(timerTriggers_, [&](auto& t) { return t.Handle == handle; }) ||
      drop(dataTriggers_, [&](auto& t) { return t.Handle == handle; }) ||
      drop(statusTriggers_, [&](auto& t) { return t.Handle == handle; })) {
    if (timerTriggers_.empty() && dataTriggers_.empty() && statusTriggers_.empty())
      triggerCounter_ = 1;
    return 0;
  }
  return ecBadTriggerHandle;
}

void TBaseDispatcher::RemoveAllTriggers() {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  triggerLength_ = 0;
  timerTriggers_.clear();
  dataTriggers_.clear();
  statusTriggers_.clear();
  triggerCounter_ = 1;
}

void TBaseDispatcher::SaveTriggers(TTriggerSave& save) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  save.TriggerLength = triggerLength_;
  save.Timers = timerTriggers_;
  save.Data = dataTriggers_;
  save.Status = statusTriggers_;
}

void TBaseDispatcher::RestoreTriggers(const TTriggerSave& save) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  triggerLength_ = save.TriggerLength;
  timerTriggers_ = save.Timers;
  dataTriggers_ = save.Data;
  statusTriggers_ = save.Status;
  // New handles must not collide with the restored ones.
  for (auto* list : {&timerTriggers_})
    for (auto& t : *list) triggerCounter_ = std::max(triggerCounter_, t.Handle / 8 + 1);
  for (auto& t : dataTriggers_) triggerCounter_ = std::max(triggerCounter_, t.Handle / 8 + 1);
  for (auto& t : statusTriggers_) triggerCounter_ = std::max(triggerCounter_, t.Handle / 8 + 1);
}

void TBaseDispatcher::ResetStatusHits() {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  for (auto& t : statusTriggers_) t.Hit = false;
  globalStatusHit_ = false;
}

bool TBaseDispatcher::CheckReceiveTriggers() {
  uint64_t matchAt = 0;
  bool matched = false;
  uint32_t longest = 0;
  uint32_t count = 0;
  bool deliverAvail = false;
  std::vector<std::pair<int32_t, uint32_t>> dataEvents;
  {
    std::scoped_lock lock(inputLock_, dispatchLock_);
    if (!dispatchBuffer_) return false;
    uint64_t consumed = inTotal_ - UnreadLocked();
    if (scanTotal_ < consumed) scanTotal_ = consumed;
    bool anyData = std::any_of(dataTriggers_.begin(), dataTriggers_.end(),
                               [](const TDataTrigger& t) { return t.Length > 0; });
    if (anyData) {
      for (uint64_t p = scanTotal_; p < inTotal_ && !matched; ++p) {
        char c = dispatchBuffer_[Wrap(inHead_ + static_cast<uint32_t>(p - consumed))];
        for (auto& t : dataTriggers_)
          if (MatchDataTrigger(t, c)) {
            matched = true;
            matchAt = p;
            longest = std::max(longest, t.Length);
          }
      }
    }
    if (matched) {
      uint32_t upTo = static_cast<uint32_t>(matchAt + 1 - consumed);
      if (triggerLength_ != 0 && notifiedTotal_ != matchAt && upTo >= longest &&
          upTo - longest >= triggerLength_) {
        deliverAvail = true;
        count = upTo - longest;
      }
      for (auto it = dataTriggers_.rbegin(); it != dataTriggers_.rend(); ++it)
        if (it->Matched) {
          it->Matched = false;
          dataEvents.emplace_back(it->Handle, it->Length);
        }
    } else {
      scanTotal_ = inTotal_;
      count = UnreadLocked();
      if (triggerLength_ != 0 && notifiedTotal_ != inTotal_ && count >= triggerLength_ && count > 0)
        deliverAvail = true;
    }
  }
  if (matched) {
    if (deliverAvail) {
      deferredDelivery_ = false;
      SendNotify(MsgTriggerAvail, count, count);
      std::lock_guard<std::recursive_mutex> lock(inputLock_);
      if (!deferredDelivery_) notifiedTotal_ = matchAt;
      scanTotal_ = matchAt;
    }
    bool result = false;
    for (auto& [handle, length] : dataEvents) result = SendNotify(MsgTriggerData, handle, length);
    std::lock_guard<std::recursive_mutex> lock(inputLock_);
    scanTotal_ = matchAt + 1;
    return result;
  }
  if (!deliverAvail) return false;
  uint64_t tail;
  {
    std::lock_guard<std::recursive_mutex> lock(inputLock_);
    tail = inTotal_;
  }
  deferredDelivery_ = false;
  bool result = SendNotify(MsgTriggerAvail, count, count);
  if (deferredDelivery_) return false;  // offered again at the next pass
  std::lock_guard<std::recursive_mutex> lock(inputLock_);
  notifiedTotal_ = tail;
  return result;
}

bool TBaseDispatcher::CheckStatusTriggers() {
  int32_t handle = 0;
  uint32_t value = 0;
  {
    bool needOut = false, needModem = false;
    {
      std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
      for (auto& t : statusTriggers_) {
        if (!t.Active || t.Hit) continue;
        needOut |= t.Type == stOutBuffFree || t.Type == stOutBuffUsed;
        needModem |= t.Type == stModem;
      }
      if (!needOut && !needModem &&
          std::none_of(statusTriggers_.begin(), statusTriggers_.end(),
                       [](const TStatusTrigger& t) { return t.Active && !t.Hit; }))
        return false;
    }
    uint32_t used = needOut ? OutBuffUsed() : 0;
    uint32_t modem = 0;
    if (needModem) GetModemStatusPrim(modem);
    std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
    for (auto& t : statusTriggers_) {
      if (!t.Active || t.Hit) continue;
      bool fire = false;
      switch (t.Type) {
        case stModem:
          fire = ((modem ^ t.ArmedModem) & t.Value) != 0;
          value = modem;
          break;
        case stLine:
          fire = (t.Value & lineErrors_) != 0;
          value = lineErrors_;
          break;
        case stOutBuffFree:
          fire = outSize_ - used >= t.Value;
          value = outSize_ - used;
          break;
        case stOutBuffUsed:
          fire = used <= t.Value;
          value = used;
          break;
        case stOutSent:
          fire = txWritten_;
          if (fire) txWritten_ = false;
          value = 0;
          break;
        default:
          break;
      }
      if (fire) {
        t.Active = false;
        t.Hit = true;
        globalStatusHit_ = true;
        handle = t.Handle;
        break;
      }
    }
  }
  if (handle == 0) return false;
  return SendNotify(MsgTriggerStatus, static_cast<uint32_t>(handle), value & 0xFFFF);
}

bool TBaseDispatcher::CheckTimerTriggers() {
  int32_t handle = 0;
  {
    std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
    for (auto& t : timerTriggers_)
      if (t.Active && TimerExpired(t.Timer)) {
        t.Active = false;
        handle = t.Handle;
        break;
      }
  }
  if (handle == 0) return false;
  return SendNotify(MsgTriggerTimer, static_cast<uint32_t>(handle), 0);
}

// ---------------------------------------------------------------- handlers

void TBaseDispatcher::RegisterWndTriggerHandler(const TNotifyWindowPtr& window) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  wndHandlers_.push_back({window, false});
  notifyNeeded_ = true;
}

void TBaseDispatcher::DeregisterWndTriggerHandler(const TNotifyWindowPtr& window) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  for (auto& h : wndHandlers_)
    if (h.Window == window) h.Deleted = true;
  if (deliveringEvent_)
    purgeHandlers_ = true;
  else
    PurgeDeletedHandlers();
}

void TBaseDispatcher::RegisterProcTriggerHandler(TTriggerProc proc) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  procHandlers_.push_back({proc, false});
  UpdateHandlerFlagsLocked(THandlerFlagUpdate::fuKeepPort);
}

void TBaseDispatcher::DeregisterProcTriggerHandler(TTriggerProc proc) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  for (auto& h : procHandlers_)
    if (h.Proc == proc) h.Deleted = true;
  if (deliveringEvent_)
    purgeHandlers_ = true;
  else
    PurgeDeletedHandlers();
}

void TBaseDispatcher::RegisterEventTriggerHandler(const void* key, TTriggerEvent event) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  eventHandlers_.push_back({key, std::move(event), false, false});
  UpdateHandlerFlagsLocked(THandlerFlagUpdate::fuKeepPort);
}

void TBaseDispatcher::RegisterSyncEventTriggerHandler(const void* key, TTriggerEvent event) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  eventHandlers_.push_back({key, std::move(event), false, true});
  UpdateHandlerFlagsLocked(THandlerFlagUpdate::fuKeepPort);
}

void TBaseDispatcher::DeregisterEventTriggerHandler(const void* key) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  for (auto& h : eventHandlers_)
    if (h.Key == key) h.Deleted = true;
  if (deliveringEvent_)
    purgeHandlers_ = true;
  else
    PurgeDeletedHandlers();
}

void TBaseDispatcher::PurgeDeletedHandlers() {
  std::erase_if(wndHandlers_, [](auto& h) { return h.Deleted; });
  std::erase_if(procHandlers_, [](auto& h) { return h.Deleted; });
  std::erase_if(eventHandlers_, [](auto& h) { return h.Deleted; });
  purgeHandlers_ = false;
  UpdateHandlerFlagsLocked(THandlerFlagUpdate::fuKeepPort);
}

void TBaseDispatcher::UpdateHandlerFlags(THandlerFlagUpdate update) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  UpdateHandlerFlagsLocked(update);
}

void TBaseDispatcher::UpdateHandlerFlagsLocked(THandlerFlagUpdate update) {
  bool others = wndHandlers_.size() > 1 || !procHandlers_.empty() || !eventHandlers_.empty();
  switch (update) {
    case THandlerFlagUpdate::fuKeepPort:
      notifyNeeded_ = others || portHandlerWanted_;
      break;
    case THandlerFlagUpdate::fuEnablePort:
      portHandlerWanted_ = true;
      notifyNeeded_ = true;
      break;
    case THandlerFlagUpdate::fuDisablePort:
      portHandlerWanted_ = false;
      notifyNeeded_ = others;
      break;
  }
}

TBaseDispatcher::Delivery TBaseDispatcher::CallWindow(const WndHandler& h, uint32_t msg,
                                                      uint32_t wParam, int32_t lParam) {
  ui::EventLoop* loop = h.Window->Loop();
  if (!loop || h.Window->Destroyed()) return Delivery::NotConsumed;
  // Shared with the call, which may outlive this wait; used again for the
  // next delivery once no late call holds it.
  if (!callState_ || callState_.use_count() > 1) callState_ = std::make_shared<CallState>();
  std::shared_ptr<CallState> state = callState_;
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->started = state->abandoned = false;
    state->accepted = true;
    state->window = h.Window;
    state->msg = msg;
    state->wParam = wParam;
    state->lParam = lParam;
  }
  bool finished = loop->SendSync(
      [s = state.get()] {
        TNotifyWindowPtr window;
        uint32_t m, w;
        int32_t l;
        {
          std::lock_guard<std::mutex> lock(s->mutex);
          if (s->abandoned) return;
          s->started = true;
          window = s->window;
          m = s->msg;
          w = s->wParam;
          l = s->lParam;
        }
        bool accepted = window->Destroyed() || window->WndProc(m, w, l);
        std::lock_guard<std::mutex> lock(s->mutex);
        s->accepted = accepted;
        s->window.reset();
      },
      3000, state);
  std::lock_guard<std::mutex> lock(state->mutex);
  state->window.reset();
  if (!finished && !state->started) {
    state->abandoned = true;  // never reached the handler
    return Delivery::Deferred;
  }
  if (finished && !state->accepted) return Delivery::Deferred;
  return Delivery::Consumed;
}

bool TBaseDispatcher::SendNotify(uint32_t msg, uint32_t wParam, uint32_t value) {
  if (!notifyNeeded_) return true;
  bool wantWindows;
  {
    std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
    if (stopThreads_ || closeWhenIdle_) return false;
    wantWindows = wndHandlers_.size() > 1 || portHandlerWanted_;
    // A window still inside its handler gets this event later, when it has
    // returned; waiting for it now would only stall this thread.
    if (wantWindows)
      for (auto& h : wndHandlers_)
        if (!h.Deleted && h.Window->Busy()) {
          deferredDelivery_ = true;
          return false;
        }
    deliveringEvent_ = true;
  }
  bool availDelivery = msg == MsgTriggerAvail || msg == MsgTriggerData;
  {
    std::lock_guard<std::recursive_mutex> lock(inputLock_);
    maxHandlerReadCount_ = 0;
    handlerReadCount_ = 0;
    inAvailDelivery_ = availDelivery;
  }
  int32_t lParam = static_cast<int32_t>((value & 0xFFFF) + (static_cast<uint32_t>(handle_) << 16));
  bool aborted = false;
  auto afterHandler = [&] {
    std::lock_guard<std::recursive_mutex> lock(inputLock_);
    maxHandlerReadCount_ = std::max(maxHandlerReadCount_, handlerReadCount_);
    handlerReadCount_ = 0;
  };

  // Event handlers, then procedure handlers, then windows; each list is read
  // by index because a handler may register another.
  for (std::size_t i = 0; !aborted; ++i) {
    EventHandler h;
    {
      std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
      if (i >= eventHandlers_.size()) break;
      h = eventHandlers_[i];
    }
    if (h.Deleted) continue;
    if (h.Synchronized) {
      if (ui::EventLoop* loop = ui::EventLoop::Current())
        loop->SendSync([ev = h.Event, msg, wParam, lParam] { ev(msg, wParam, lParam); }, 3000);
    } else {
      h.Event(msg, wParam, lParam);
    }
    if (closeWhenIdle_) aborted = true;
    afterHandler();
  }
  for (std::size_t i = 0; !aborted; ++i) {
    ProcHandler h;
    {
      std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
      if (i >= procHandlers_.size()) break;
      h = procHandlers_[i];
    }
    if (h.Deleted || !h.Proc) continue;
    h.Proc(msg, wParam, lParam);
    if (closeWhenIdle_) aborted = true;
    afterHandler();
  }
  bool deferred = false;
  for (std::size_t i = 0; wantWindows && !aborted; ++i) {
    WndHandler h;
    {
      std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
      if (i >= wndHandlers_.size()) break;
      h = wndHandlers_[i];
    }
    if (h.Deleted) continue;
    if (CallWindow(h, msg, wParam, lParam) == Delivery::Deferred) deferred = true;
    if (closeWhenIdle_) aborted = true;
    afterHandler();
  }

  bool result = !aborted;
  uint32_t taken = 0;
  {
    // A window handler still running after the time-out keeps reading:
    // what it read until now is committed with the rest, and its later
    // reads remove bytes directly.
    std::lock_guard<std::recursive_mutex> lock(inputLock_);
    maxHandlerReadCount_ = std::max(maxHandlerReadCount_, handlerReadCount_);
    if (availDelivery && !aborted && dispatchBuffer_) {
      uint32_t take = std::min(maxHandlerReadCount_, UnreadLocked());
      inHead_ = Wrap(inHead_ + take);
      if (take > 0) inFull_ = false;
      if (msg == MsgTriggerAvail && take != wParam) result = false;
    }
    taken = maxHandlerReadCount_;
    inAvailDelivery_ = false;
    handlerReadCount_ = 0;
  }
  if (deferred && taken == 0) deferredDelivery_ = true;
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  deliveringEvent_ = false;
  if (purgeHandlers_) PurgeDeletedHandlers();
  return result;
}

// ---------------------------------------------------------------- trace and log

void TBaseDispatcher::AddTrace(char kind, const char* data, uint32_t n) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  if (!trace_.on || trace_.paused) return;
  for (uint32_t i = 0; i < n; ++i) {
    trace_.entries.push_back(std::string(1, kind) + data[i]);
    if (trace_.entries.size() > trace_.size) trace_.entries.pop_front();
  }
}

void TBaseDispatcher::AddLog(const std::string& entry) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  if (!log_.on || log_.paused) return;
  log_.entries.push_back(std::to_string(CurrentMs() - logStartMs_) + " " + entry);
  if (log_.entries.size() > log_.size) log_.entries.pop_front();
}

namespace {
bool Dump(const std::deque<std::string>& entries, const std::string& path, bool hex, bool allHex,
          bool append, bool trace) {
  std::ofstream out(path, append ? std::ios::app : std::ios::trunc);
  if (!out) return false;
  char buf[8];
  for (const std::string& e : entries) {
    if (!trace) {
      out << e << '\n';
      continue;
    }
    unsigned char c = static_cast<unsigned char>(e[1]);
    out << e[0] << ' ';
    if (allHex || (hex && (c < 32 || c >= 127))) {
      std::snprintf(buf, sizeof buf, "[%02X]", c);
      out << buf;
    } else {
      out << static_cast<char>(c);
    }
    out << '\n';
  }
  return static_cast<bool>(out);
}
}  // namespace

void TBaseDispatcher::StartTrace(uint32_t size) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  if (trace_.on && trace_.paused) {
    trace_.paused = false;
    return;
  }
  trace_ = {true, false, size ? size : 1, {}};
}
void TBaseDispatcher::AbortTrace() {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  trace_ = {};
}
void TBaseDispatcher::PauseTrace(bool paused) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  if (trace_.on) trace_.paused = paused;
}
void TBaseDispatcher::ClearTrace() {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  trace_.entries.clear();
}
bool TBaseDispatcher::DumpTrace(const std::string& path, bool hex, bool allHex, bool append) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  if (!trace_.on) return false;
  return Dump(trace_.entries, path, hex, allHex, append, true);
}
void TBaseDispatcher::StartLog(uint32_t size) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  if (log_.on && log_.paused) {
    log_.paused = false;
    return;
  }
  log_ = {true, false, size ? size : 1, {}};
}
void TBaseDispatcher::AbortLog() {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  log_ = {};
}
void TBaseDispatcher::PauseLog(bool paused) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  if (log_.on) log_.paused = paused;
}
void TBaseDispatcher::ClearLog() {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  log_.entries.clear();
}
bool TBaseDispatcher::DumpLog(const std::string& path, bool hex, bool allHex, bool append) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  if (!log_.on) return false;
  return Dump(log_.entries, path, hex, allHex, append, false);
}

}  // namespace dorv::serial
