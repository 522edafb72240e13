// Triggers: data strings, lengths, timers and status changes, their handles,
// and saving and restoring them.
#include <algorithm>
#include <cctype>

#include "serial/dispatcher.h"
#include "serial/dispatcher_internal.h"
#include "serial/serial_errors.h"

namespace dorv::serial {

using internal::Wrap;

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

}  // namespace dorv::serial
