#include "serial/comm_dispatcher.h"

#include "serial/serial_errors.h"

namespace dorv::serial {

using platform::WaitResult;

TCommDispatcher::~TCommDispatcher() {
  Shutdown();
}

int32_t TCommDispatcher::OpenCom(const std::string& name, uint32_t, uint32_t) {
  int error = 0;
  device_ = platform::CommDevice::Open(name, error);
  if (!device_) return -(error ? error : platform::kErrGenFailure);
  return 0;
}

int32_t TCommDispatcher::CloseCom() {
  if (!device_) return -1;
  if (ThreadsRunning()) {
    stopThreads_ = true;
    device_->CancelWait();  // the pending wait for events returns
    signals_.Set(kRxDone);
  }
  device_->Close();
  return 0;
}

bool TCommDispatcher::DeviceOpen() const {
  return device_ && device_->IsOpen();
}

int32_t TCommDispatcher::EscapeComFunction(int function) {
  if (!device_) return ecCommNotOpen;
  int e = device_->Escape(function);
  return e ? -e : 0;
}

int32_t TCommDispatcher::FlushDevice(uint32_t purgeFlags) {
  if (!device_ || !device_->IsOpen()) return 0;
  int e = device_->Purge(purgeFlags);
  return e ? -e : 0;
}

uint32_t TCommDispatcher::DeviceError(platform::TComStat& stat) {
  stat = {};
  // Without the driver's transmit count: the dispatcher reports the fill of
  // its output ring instead.
  return device_ ? device_->ClearError(stat, false) : 0;
}

int32_t TCommDispatcher::GetComState(platform::TDcb& dcb) {
  if (!device_) return ecCommNotOpen;
  int e = device_->GetState(dcb);
  return e ? -e : 0;
}

int32_t TCommDispatcher::SetComState(const platform::TDcb& dcb) {
  if (!device_) return ecCommNotOpen;
  int e = device_->SetState(dcb);
  return e ? -e : 0;
}

int32_t TCommDispatcher::GetModemStatusPrim(uint32_t& status) {
  status = 0;
  if (!device_) return ecCommNotOpen;
  int e = device_->ModemStatus(status);
  return e ? -e : 0;
}

long TCommDispatcher::ReadCom(char* buf, uint32_t n) {
  return device_ ? device_->Read(buf, n) : 0;
}

long TCommDispatcher::WriteDevice(const char* buf, uint32_t n, bool& cancelled) {
  cancelled = false;
  return device_ ? device_->Write(buf, n, cancelled) : -platform::kErrInvalidHandle;
}

void TCommDispatcher::CancelDeviceWrite() {
  if (device_) device_->CancelWrite();
}

WaitResult TCommDispatcher::WaitComEvent(uint32_t mask, uint32_t& events, int timeoutMs) {
  if (!device_) return WaitResult::Failed;
  return device_->WaitEvent(mask, events, timeoutMs);
}

void TCommDispatcher::CancelComWait() {
  if (device_) device_->CancelWait();
}

int32_t TCommDispatcher::SetupCom(uint32_t inSize, uint32_t outSize) {
  if (!device_) return ecCommNotOpen;
  int e = device_->SetupQueues(inSize, outSize);
  return e ? -e : 0;
}

}  // namespace dorv::serial
