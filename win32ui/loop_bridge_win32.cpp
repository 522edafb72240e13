#include "win32ui/loop_bridge_win32.h"

#include <algorithm>
#include <chrono>

namespace dorv::win32ui {

namespace {
constexpr UINT kWorkMessage = WM_APP + 1;
constexpr UINT_PTR kTimerId = 1;
// Items processed per message before the window system's own get a turn.
constexpr int kBatch = 200;
const wchar_t kClassName[] = L"DorvLoopBridge";
}  // namespace

LoopBridge::LoopBridge(ui::EventLoop& loop, std::function<void()> afterWork)
    : loop_(loop), afterWork_(std::move(afterWork)) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassW(&wc);
    registered = true;
  }
  hwnd_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                          GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  waker_->hwnd = hwnd_;
  loop_.SetHoldNestedSync(true);
  loop_.SetWakeHook([waker = waker_] {
    if (waker->scheduled.exchange(true)) return;
    std::lock_guard<std::mutex> lock(waker->mutex);
    if (waker->hwnd) PostMessageW(waker->hwnd, kWorkMessage, 0, 0);
  });
  Schedule();
}

LoopBridge::~LoopBridge() {
  {
    std::lock_guard<std::mutex> lock(waker_->mutex);
    waker_->hwnd = nullptr;
  }
  loop_.SetWakeHook(nullptr);
  loop_.SetHoldNestedSync(false);
  KillTimer(hwnd_, kTimerId);
  DestroyWindow(hwnd_);
}

LRESULT CALLBACK LoopBridge::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<LoopBridge*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self && (msg == kWorkMessage || (msg == WM_TIMER && wp == kTimerId))) {
    self->Process();
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

void LoopBridge::Schedule() {
  // Any thread. One message at a time is enough: it processes everything
  // that is waiting when it is handled.
  if (waker_->scheduled.exchange(true)) return;
  PostMessageW(hwnd_, kWorkMessage, 0, 0);
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
    KillTimer(hwnd_, kTimerId);
    return;
  }
  auto left = std::chrono::ceil<std::chrono::milliseconds>(*due - ui::EventLoop::Clock::now());
  // The window system's shortest timer is 10 ms; 0 would not fire.
  SetTimer(hwnd_, kTimerId,
           static_cast<UINT>(std::max<long long>(USER_TIMER_MINIMUM, left.count())), nullptr);
}

}  // namespace dorv::win32ui
