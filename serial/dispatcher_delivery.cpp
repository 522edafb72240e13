// The handlers of triggers (window, procedure and event handlers) and the
// delivery of a trigger to them, synchronous on the user-interface thread.
#include <algorithm>

#include "serial/dispatcher.h"
#include "serial/dispatcher_internal.h"
#include "serial/serial_port.h"
#include "ui/application.h"
#include "ui/event_loop.h"

namespace dorv::serial {

using internal::Wrap;

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

}  // namespace dorv::serial
