#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

#include "serial/dispatcher.h"
#include "serial/serial_misc.h"

namespace dorv::serial {

enum class TDeviceLayer { dlWin32, dlFossil, dlWinsock };
enum class TParity { pNone = 0, pOdd = 1, pEven = 2, pMark = 3, pSpace = 4 };
enum class TSWFlowOptions { swfNone, swfReceive, swfTransmit, swfBoth };
enum class TTraceLogState { tlOff, tlOn, tlDump, tlAppend, tlClear, tlPause };
enum class TTapiMode { tmNone, tmAuto, tmOn, tmOff };
enum class TPortPhase { ppClosed, ppShuttingDown, ppOpen };

// Hardware flow options (a set: OR the bits).
enum THWFlowOptions : uint32_t {
  hwfUseDTR = 1,
  hwfUseRTS = 2,
  hwfRequireDSR = 4,
  hwfRequireCTS = 8,
};

class TCustomSerialPort;
using TTriggerEvent2 = std::function<void(TCustomSerialPort* port, uint32_t msg,
                                          uint32_t triggerHandle, uint32_t data)>;
using TTriggerAvailEvent = std::function<void(TCustomSerialPort* port, uint16_t count)>;
using TTriggerHandleEvent = std::function<void(TCustomSerialPort* port, uint32_t triggerHandle)>;
using TTriggerLineErrorEvent =
    std::function<void(TCustomSerialPort* port, uint32_t error, bool lineBreak)>;
using TPortNotifyEvent = std::function<void(TCustomSerialPort* port)>;
using TWaitCharEvent = std::function<void(TCustomSerialPort* port, char c)>;
using TPortUserCallback = std::function<void(TCustomSerialPort* port, bool opening)>;

// A serial port as a buffered byte stream with events. Used from the
// user-interface thread only, which also runs its trigger events. Opening
// creates a dispatcher (device, rings, three threads) and a hidden
// notification window; closing destroys them. Failures raise the exceptions
// of serial_errors.h.
class TCustomSerialPort : public TBaseComponent {
 public:
  TCustomSerialPort();
  ~TCustomSerialPort() override;
  TCustomSerialPort(const TCustomSerialPort&) = delete;
  TCustomSerialPort& operator=(const TCustomSerialPort&) = delete;

  // Applies the stored properties of a form design entry ("ComNumber",
  // "Baud", "OutSize", "RTS", ...) as the form loader does, then Loaded().
  void LoadDesign(const nlohmann::json& design);
  void Loaded() override;
  // Copies the properties (not the events) of another port.
  void Assign(const TCustomSerialPort& other);

  // ---- Opening and closing ----
  bool Open() const { return open_; }
  void SetOpen(bool value);
  uint16_t ComNumber() const { return comNumber_; }
  void SetComNumber(uint16_t n);
  TPortPhase PortPhase() const { return phase_; }

  // ---- Line operations ----
  bool CharReady();
  char GetChar();
  char PeekChar(uint32_t position);
  void GetBlock(char* buf, uint32_t n);
  void PeekBlock(char* buf, uint32_t n);
  void PutChar(char c);
  void PutString(const std::string& s);
  void PutBlock(const char* data, uint32_t n);
  void FlushInBuffer();
  void FlushOutBuffer();
  // Waits on the user-interface loop until s has arrived (true) or timeoutMs
  // has passed; the bytes up to the string are consumed.
  bool WaitForString(const std::string& s, int timeoutMs, bool ignoreCase = false);
  bool CheckForString(uint32_t& index, char c, const std::string& s, bool ignoreCase);
  uint32_t InBuffUsed();
  uint32_t InBuffFree();
  uint32_t OutBuffUsed();
  uint32_t OutBuffFree();
  bool GetDSR();
  bool GetCTS();
  bool GetRI();
  bool GetDCD();
  bool GetDeltaDSR();
  bool GetDeltaCTS();
  bool GetDeltaRI();
  bool GetDeltaDCD();
  uint32_t GetModemStatus();
  uint32_t GetLineError();
  bool GetLineBreak();
  void SendBreak(uint32_t ticks, bool yield);
  void SetBreak(bool on);

  // ---- Triggers ----
  int32_t AddDataTrigger(const std::string& s, bool ignoreCase);
  int32_t AddTimerTrigger();
  int32_t AddStatusTrigger(uint16_t type);
  void RemoveTrigger(int32_t handle);
  void RemoveAllTriggers();
  void SetTimerTrigger(int32_t handle, uint32_t ticks, bool activate);
  void SetStatusTrigger(int32_t handle, uint32_t value, bool activate);

  // ---- Properties ----
  TDeviceLayer DeviceLayer() const { return deviceLayer_; }
  void SetDeviceLayer(TDeviceLayer v);
  int32_t Baud() const { return baud_; }
  void SetBaud(int32_t v);
  bool PromptForPort = true;
  TParity Parity() const { return parity_; }
  void SetParity(TParity v);
  uint16_t DataBits() const { return dataBits_; }
  void SetDataBits(uint16_t v);
  uint16_t StopBits() const { return stopBits_; }
  void SetStopBits(uint16_t v);
  uint16_t InSize() const { return inSize_; }
  void SetInSize(uint16_t v);
  uint16_t OutSize() const { return outSize_; }
  void SetOutSize(uint16_t v);
  bool AutoOpen = true;
  bool DTR() const { return dtr_; }
  void SetDTR(bool v);
  bool RTS() const { return rts_; }
  void SetRTS(bool v);
  uint32_t HWFlowOptions() const { return hwFlow_; }
  void SetHWFlowOptions(uint32_t v);
  TSWFlowOptions SWFlowOptions() const { return swFlow_; }
  void SetSWFlowOptions(TSWFlowOptions v);
  char XOnChar() const { return xonChar_; }
  void SetXOnChar(char c);
  char XOffChar() const { return xoffChar_; }
  void SetXOffChar(char c);
  uint16_t BufferFull = 0;
  uint16_t BufferResume = 0;
  TTraceLogState Tracing() const { return tracing_; }
  void SetTracing(TTraceLogState v);
  uint32_t TraceSize = 10000;
  std::string TraceName = "SERIAL.TRC";
  bool TraceHex = true;
  bool TraceAllHex = false;
  TTraceLogState Logging() const { return logging_; }
  void SetLogging(TTraceLogState v);
  uint32_t LogSize = 10000;
  std::string LogName = "SERIAL.LOG";
  bool LogHex = true;
  bool LogAllHex = false;
  // Stored only: no effect with this dispatcher.
  bool UseMSRShadow = true;
  bool UseEventWord = true;
  uint16_t CommNotificationLevel = 10;
  TTapiMode TapiMode = TTapiMode::tmAuto;
  bool RS485Mode() const { return rs485_; }
  void SetRS485Mode(bool v);
  uint16_t TriggerLength() const { return triggerLength_; }
  void SetTriggerLength(uint16_t v);
  TThreadBoost ThreadBoost() const { return threadBoost_; }
  void SetThreadBoost(TThreadBoost v);

  // ---- Events (assign before opening, or call UpdateHandlerFlag) ----
  void SetOnTrigger(TTriggerEvent2 e);
  void SetOnTriggerAvail(TTriggerAvailEvent e);
  void SetOnTriggerData(TTriggerHandleEvent e);
  void SetOnTriggerStatus(TTriggerHandleEvent e);
  void SetOnTriggerTimer(TTriggerHandleEvent e);
  void SetOnTriggerLineError(TTriggerLineErrorEvent e);
  void SetOnTriggerModemStatus(TPortNotifyEvent e);
  void SetOnTriggerOutbuffFree(TPortNotifyEvent e);
  void SetOnTriggerOutbuffUsed(TPortNotifyEvent e);
  void SetOnTriggerOutSent(TPortNotifyEvent e);
  TWaitCharEvent OnWaitChar;
  TPortNotifyEvent OnPortOpen;
  TPortNotifyEvent OnPortClose;
  virtual void UpdateHandlerFlag();

  // Parties told of every open and close (last registered first).
  void RegisterUserCallback(const void* key, TPortUserCallback callback);
  void DeregisterUserCallback(const void* key);

  // The dispatcher while open (null while closed).
  TBaseDispatcher* Dispatcher() const { return dispatcher_.get(); }
  // The dispatcher, opening the port first when AutoOpen allows; raises
  // ECommNotOpen when there is none.
  TBaseDispatcher* ValidDispatcher();
  // True while the port's trigger handler runs.
  bool InTriggerHandler() const { return *inHandler_; }
  // When the line last moved a byte, either way, or the port last opened:
  // what a caller measures the other side's silence from. The dispatcher
  // notes received bytes as it takes them from the device, whether or not the
  // trigger handler may run (a delivery to a busy handler holds it up to the
  // delivery's time-out). Kept after the close. Any thread.
  std::chrono::steady_clock::time_point LastTraffic() const {
    return std::chrono::steady_clock::time_point(
        std::chrono::steady_clock::duration(lastTraffic_.load(std::memory_order_relaxed)));
  }
  // Called by the dispatcher as bytes move, and by the open.
  void NoteTraffic() {
    lastTraffic_.store(std::chrono::steady_clock::now().time_since_epoch().count(),
                       std::memory_order_relaxed);
  }

 protected:
  virtual void ActivateDeviceLayer();
  virtual void InitializePort();
  virtual void RegisterComPort(bool enable);
  virtual void ValidateComport();
  virtual void InitPort();
  virtual void DonePort();
  virtual void PortOpen();
  virtual void PortClose();
  virtual void Trigger(uint32_t msg, uint32_t triggerHandle, uint32_t data);
  virtual void TriggerAvail(uint16_t count);
  virtual void TriggerData(uint32_t triggerHandle);
  virtual void TriggerStatus(uint32_t triggerHandle);
  virtual void TriggerTimer(uint32_t triggerHandle);
  virtual void TriggerLineError(uint32_t error, bool lineBreak);
  virtual void TriggerModemStatus();
  virtual void TriggerOutbuffFree();
  virtual void TriggerOutbuffUsed();
  virtual void TriggerOutSent();
  virtual void WaitChar(char c);

 private:
  class NotifyWindow;
  friend class NotifyWindow;

  // The window procedure's work, on the user-interface thread.
  bool HandleMessage(uint32_t msg, uint32_t wParam, int32_t lParam);
  void ClosePending(int32_t lParam);
  void PostClosePending(int32_t lParam);
  bool ShuttingDown() const { return phase_ == TPortPhase::ppShuttingDown; }
  bool AnyTriggerEvent() const;
  void ApplyFlow();
  void ReapplyProperties();
  // The trace's or the log's state change (SetTracing, SetLogging).
  void SetRecording(TBaseDispatcher::Recording which, TTraceLogState& state, TTraceLogState v,
                    uint32_t size, const std::string& name, bool hex, bool allHex);

  std::unique_ptr<TBaseDispatcher> dispatcher_;
  std::shared_ptr<NotifyWindow> window_;
  TPortPhase phase_ = TPortPhase::ppClosed;
  bool open_ = false;
  bool openAfterClose_ = false;
  bool openAfterLoad_ = false;
  bool forceApply_ = false;
  bool triggersSaved_ = false;
  TTriggerSave savedTriggers_;
  std::atomic<std::chrono::steady_clock::rep> lastTraffic_{0};  // see LastTraffic()
  // Shared with the notification windows, which report it to the
  // dispatching thread.
  std::shared_ptr<std::atomic<bool>> inHandler_ = std::make_shared<std::atomic<bool>>(false);
  std::vector<std::pair<const void*, TPortUserCallback>> users_;

  TDeviceLayer deviceLayer_ = TDeviceLayer::dlWin32;
  uint16_t comNumber_ = 0;
  int32_t baud_ = 19200;
  TParity parity_ = TParity::pNone;
  uint16_t dataBits_ = 8;
  uint16_t stopBits_ = 1;
  uint16_t inSize_ = 4096;
  uint16_t outSize_ = 4096;
  bool dtr_ = true;
  bool rts_ = true;
  uint32_t hwFlow_ = 0;
  TSWFlowOptions swFlow_ = TSWFlowOptions::swfNone;
  char xonChar_ = 17;
  char xoffChar_ = 19;
  TTraceLogState tracing_ = TTraceLogState::tlOff;
  TTraceLogState logging_ = TTraceLogState::tlOff;
  bool rs485_ = false;
  uint16_t triggerLength_ = 1;
  TThreadBoost threadBoost_ = TThreadBoost::tbNone;

  TTriggerEvent2 onTrigger_;
  TTriggerAvailEvent onTriggerAvail_;
  TTriggerHandleEvent onTriggerData_, onTriggerStatus_, onTriggerTimer_;
  TTriggerLineErrorEvent onTriggerLineError_;
  TPortNotifyEvent onTriggerModemStatus_, onTriggerOutbuffFree_, onTriggerOutbuffUsed_,
      onTriggerOutSent_;
};

// The published form of the port object.
class TSerialPort : public TCustomSerialPort {
 public:
  using TCustomSerialPort::TCustomSerialPort;
};

}  // namespace dorv::serial
