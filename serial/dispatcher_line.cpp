// The line's settings and state: speed and framing, modem lines, flow
// control, break.
#include <algorithm>
#include <cmath>

#include "serial/dispatcher.h"
#include "serial/serial_errors.h"

namespace dorv::serial {

using platform::TComStat;
using platform::TDcb;

uint8_t StopBitsCode(uint32_t stopBits, uint32_t dataBits, uint8_t currentCode) {
  if (dataBits == 5) return TDcb::kOne5StopBits;
  if (stopBits == 0) stopBits = 1;
  if (stopBits == 3) return currentCode;
  if (stopBits > 3) stopBits = 2;
  return stopBits == 1 ? TDcb::kOneStopBit : TDcb::kTwoStopBits;
}

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

}  // namespace dorv::serial
