// The dispatcher's lifetime, the process-wide list of dispatchers by handle,
// and opening and closing a port with its three threads.
#include "serial/dispatcher.h"

#include <algorithm>
#include <cstring>

#include "serial/dispatcher_internal.h"
#include "serial/serial_errors.h"
#include "serial/serial_port.h"
#include "ui/application.h"
#include "ui/event_loop.h"

namespace dorv::serial {

using internal::tl_dispatcherOfThread;

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
    trace_.Abort();
    log_.Abort();
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

}  // namespace dorv::serial
