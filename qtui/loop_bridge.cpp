#include "qtui/loop_bridge.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <QMetaObject>
#include <chrono>
#include <cstdint>

namespace dorv::qtui {

namespace {
// Items processed per turn of Qt's loop before Qt's own events get a turn.
constexpr int kBatch = 200;
}  // namespace

LoopBridge::LoopBridge(ui::EventLoop& loop, std::function<void()> afterWork)
    : loop_(loop), afterWork_(std::move(afterWork)) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, &context_, [this] { Process(); });
  wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ >= 0) {
    notifier_ = std::make_unique<QSocketNotifier>(wakeFd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, &context_, [this] {
      uint64_t count;
      [[maybe_unused]] ssize_t r = ::read(wakeFd_, &count, sizeof count);
      Process();
    });
  }
  waker_->bridge = this;
  loop_.SetHoldNestedSync(true);
  loop_.SetWakeHook([waker = waker_] {
    std::lock_guard<std::mutex> lock(waker->mutex);
    if (waker->bridge) waker->bridge->Schedule();
  });
  Schedule();
}

LoopBridge::~LoopBridge() {
  {
    std::lock_guard<std::mutex> lock(waker_->mutex);
    waker_->bridge = nullptr;
  }
  loop_.SetWakeHook(nullptr);
  loop_.SetHoldNestedSync(false);
  notifier_.reset();
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

void LoopBridge::Schedule() {
  // Any thread. One posted call at a time is enough: it processes everything
  // that is waiting when it runs.
  if (waker_->scheduled.exchange(true)) return;
  if (wakeFd_ >= 0) {
    uint64_t one = 1;
    if (::write(wakeFd_, &one, sizeof one) == sizeof one) return;
  }
  QMetaObject::invokeMethod(
      &context_, [this] { Process(); }, Qt::QueuedConnection);
}

void LoopBridge::Process() {
  waker_->scheduled.store(false);
  int done = 0;
  while (done < kBatch && loop_.ProcessOne()) ++done;
  if (done == kBatch) Schedule();  // more is waiting: go on at the next turn
  ArmTimer();
  if (afterWork_) afterWork_();
}

void LoopBridge::ArmTimer() {
  auto due = loop_.NextDue();
  if (!due) {
    timer_.stop();
    return;
  }
  auto left = std::chrono::ceil<std::chrono::milliseconds>(*due - ui::EventLoop::Clock::now());
  timer_.start(static_cast<int>(std::max<long long>(0, left.count())));
}

}  // namespace dorv::qtui
