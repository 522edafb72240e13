// Reading from the receive ring and writing into the output ring.
#include <algorithm>
#include <cstring>

#include "serial/dispatcher.h"
#include "serial/dispatcher_internal.h"
#include "serial/serial_errors.h"
#include "serial/serial_port.h"

namespace dorv::serial {

using internal::Wrap;
using platform::TComStat;

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
  if (log_.Taking()) AddLog("PutBlock " + std::to_string(n));
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

}  // namespace dorv::serial
