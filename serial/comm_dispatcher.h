#pragma once
#include <memory>
#include <string>

#include "platform/comm_device.h"
#include "serial/dispatcher.h"

namespace dorv::serial {

// The dispatcher of a communications device of the platform layer: the
// device operations of the dispatcher, on one open CommDevice.
class TCommDispatcher : public TBaseDispatcher {
 public:
  explicit TCommDispatcher(TCustomSerialPort* owner) : TBaseDispatcher(owner) {}
  ~TCommDispatcher() override;

  int32_t EscapeComFunction(int function) override;
  int32_t FlushDevice(uint32_t purgeFlags) override;
  uint32_t DeviceError(platform::TComStat& stat) override;
  int32_t GetComState(platform::TDcb& dcb) override;
  int32_t SetComState(const platform::TDcb& dcb) override;
  int32_t GetModemStatusPrim(uint32_t& status) override;
  long ReadCom(char* buf, uint32_t n) override;
  long WriteDevice(const char* buf, uint32_t n, bool& cancelled) override;
  void CancelDeviceWrite() override;
  platform::WaitResult WaitComEvent(uint32_t mask, uint32_t& events, int timeoutMs) override;
  void CancelComWait() override;
  int32_t SetupCom(uint32_t inSize, uint32_t outSize) override;
  int32_t OpenCom(const std::string& name, uint32_t inSize, uint32_t outSize) override;
  int32_t CloseCom() override;
  bool DeviceOpen() const override;

 private:
  std::unique_ptr<platform::CommDevice> device_;
};

}  // namespace dorv::serial
