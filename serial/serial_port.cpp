#include "serial/serial_port.h"

#include <algorithm>
#include <cctype>
#include <nlohmann/json.hpp>

#include "platform/comm_device.h"
#include "platform/port_namespace.h"
#include "serial/comm_dispatcher.h"
#include "serial/port_chooser.h"
#include "serial/serial_errors.h"
#include "ui/application.h"
#include "ui/event_loop.h"

namespace dorv::serial {

namespace {

// Processes at most one waiting message of the user-interface thread.
void SafeYield() {
  ui::EventLoop* loop = ui::EventLoop::Current();
  if (loop && loop->IsUiThread()) loop->ProcessOne();
}

}  // namespace

// The hidden window that receives this port's trigger messages on the
// thread that opened it.
class TCustomSerialPort::NotifyWindow : public TNotifyWindow {
 public:
  NotifyWindow(TCustomSerialPort* port, ui::EventLoop* loop)
      : port_(port), loop_(loop), busy_(port->inHandler_) {}

  ui::EventLoop* Loop() const override { return loop_; }
  bool Busy() const override { return *busy_; }
  bool Destroyed() const override { return destroyed_; }
  void Destroy() {
    destroyed_ = true;
    port_ = nullptr;
  }

  bool WndProc(uint32_t msg, uint32_t wParam, int32_t lParam) override {
    if (destroyed_ || !port_) return true;
    return port_->HandleMessage(msg, wParam, lParam);
  }

 private:
  TCustomSerialPort* port_;  // user-interface thread only
  ui::EventLoop* loop_;
  std::shared_ptr<std::atomic<bool>> busy_;
  std::atomic<bool> destroyed_{false};
};

TCustomSerialPort::TCustomSerialPort() = default;

TCustomSerialPort::~TCustomSerialPort() {
  try {
    if (phase_ == TPortPhase::ppOpen) DonePort();
  } catch (...) {
  }
  // A close left to a running delivery: finish it now.
  if (dispatcher_) {
    RegisterComPort(false);
    dispatcher_.reset();
  }
  if (window_) window_->Destroy();
  users_.clear();
}

void TCustomSerialPort::LoadDesign(const nlohmann::json& d) {
  BeginLoading();
  auto num = [&](const char* key, auto& field) {
    if (d.contains(key) && d[key].is_number())
      field = d[key].get<std::remove_reference_t<decltype(field)>>();
  };
  auto flag = [&](const char* key, bool& field) {
    if (d.contains(key) && d[key].is_boolean()) field = d[key].get<bool>();
  };
  auto text = [&](const char* key, std::string& field) {
    if (d.contains(key) && d[key].is_string()) field = d[key].get<std::string>();
  };
  num("ComNumber", comNumber_);
  num("Baud", baud_);
  num("DataBits", dataBits_);
  num("StopBits", stopBits_);
  num("InSize", inSize_);
  num("OutSize", outSize_);
  num("BufferFull", BufferFull);
  num("BufferResume", BufferResume);
  num("TraceSize", TraceSize);
  num("LogSize", LogSize);
  num("CommNotificationLevel", CommNotificationLevel);
  num("Tag", Tag);
  flag("PromptForPort", PromptForPort);
  flag("AutoOpen", AutoOpen);
  flag("DTR", dtr_);
  flag("RTS", rts_);
  flag("TraceHex", TraceHex);
  flag("TraceAllHex", TraceAllHex);
  flag("LogHex", LogHex);
  flag("LogAllHex", LogAllHex);
  flag("UseMSRShadow", UseMSRShadow);
  flag("UseEventWord", UseEventWord);
  flag("RS485Mode", rs485_);
  text("TraceName", TraceName);
  text("LogName", LogName);
  if (d.contains("Parity") && d["Parity"].is_number())
    parity_ = static_cast<TParity>(std::clamp(d["Parity"].get<int>(), 0, 4));
  if (d.contains("Open") && d["Open"].is_boolean()) SetOpen(d["Open"].get<bool>());
  Loaded();
}

void TCustomSerialPort::Loaded() {
  TBaseComponent::Loaded();
  if (openAfterLoad_) open_ = true;
  if (open_) {
    openAfterLoad_ = false;
    open_ = false;  // set again by a successful open
    try {
      InitPort();
    } catch (...) {
      open_ = false;
      if (ui::Application()) ui::Application()->HandleException(std::current_exception());
    }
  }
}

void TCustomSerialPort::Assign(const TCustomSerialPort& o) {
  deviceLayer_ = o.deviceLayer_;
  comNumber_ = o.comNumber_;
  baud_ = o.baud_;
  PromptForPort = o.PromptForPort;
  parity_ = o.parity_;
  dataBits_ = o.dataBits_;
  stopBits_ = o.stopBits_;
  inSize_ = o.inSize_;
  outSize_ = o.outSize_;
  AutoOpen = o.AutoOpen;
  dtr_ = o.dtr_;
  rts_ = o.rts_;
  hwFlow_ = o.hwFlow_;
  swFlow_ = o.swFlow_;
  xonChar_ = o.xonChar_;
  xoffChar_ = o.xoffChar_;
  BufferFull = o.BufferFull;
  BufferResume = o.BufferResume;
  TraceSize = o.TraceSize;
  TraceName = o.TraceName;
  TraceHex = o.TraceHex;
  TraceAllHex = o.TraceAllHex;
  LogSize = o.LogSize;
  LogName = o.LogName;
  LogHex = o.LogHex;
  LogAllHex = o.LogAllHex;
  UseMSRShadow = o.UseMSRShadow;
  UseEventWord = o.UseEventWord;
  CommNotificationLevel = o.CommNotificationLevel;
  TapiMode = o.TapiMode;
  rs485_ = o.rs485_;
  triggerLength_ = o.triggerLength_;
  threadBoost_ = o.threadBoost_;
  Tag = o.Tag;
}

// ---------------------------------------------------------------- open and close

void TCustomSerialPort::SetOpen(bool value) {
  if (value == open_) return;
  if (Designing() || Loading()) {
    open_ = value;
    if (value) openAfterLoad_ = true;
    return;
  }
  if (!value)
    DonePort();
  else if (phase_ != TPortPhase::ppClosed)
    openAfterClose_ = true;  // opened when the pending close completes
  else
    InitPort();
}

void TCustomSerialPort::ValidateComport() {
  if (comNumber_ != 0) return;
  if (!PromptForPort) RaiseSerialError(ecNoPortSelected);
  uint16_t n = 0;
  if (!ChoosePort(n) || n == 0) RaiseSerialError(ecNoPortSelected);
  SetComNumber(n);
}

void TCustomSerialPort::ActivateDeviceLayer() {
  if (deviceLayer_ != TDeviceLayer::dlWin32) RaiseSerialError(ecNullApi);
  dispatcher_ = std::make_unique<TCommDispatcher>(this);
}

void TCustomSerialPort::InitializePort() {
  std::string name = "\\\\.\\COM" + std::to_string(comNumber_);
  int32_t rc = dispatcher_->InitPort(name, baud_, static_cast<uint32_t>(parity_), dataBits_,
                                     stopBits_, inSize_, outSize_, dtr_, rts_);
  // A port another program holds is "already open"; one the user has no
  // permission for stays the system's access error. Both messages name the
  // port and its device and say what the user can do.
  int32_t system = rc;
  if (rc == -platform::kErrSharingViolation) rc = ecAlreadyOpen;
  if (rc == ecFileNotFound || rc == ecPathNotFound) rc = ecBadId;
  if (rc == 0) return;
  auto specifics = [&](const char* what) {
    std::string text = std::string(what) + ": COM" + std::to_string(comNumber_);
    if (auto path = platform::PortNamespace::Resolve(name)) text += " (" + *path + ")";
    std::string hint = platform::OpenFailureHint(-system);
    return hint.empty() ? text : text + ". " + hint;
  };
  try {
    CheckException(this, rc);
  } catch (const EAlreadyOpen& e) {
    throw EAlreadyOpen(rc, specifics(e.what()));
  } catch (const EInOutError& e) {
    if (rc != ecAccessDenied) throw;
    throw EInOutError(e.ErrorCode, specifics(e.what()));
  }
}

void TCustomSerialPort::InitPort() {
  if (TapiMode != TTapiMode::tmOn) ValidateComport();
  ActivateDeviceLayer();
  try {
    InitializePort();
    phase_ = TPortPhase::ppOpen;
    UpdateHandlerFlag();
    ReapplyProperties();
    open_ = true;
    NoteTraffic();
    RegisterComPort(true);
    if (triggersSaved_) {
      triggersSaved_ = false;
      dispatcher_->RestoreTriggers(savedTriggers_);
      TBaseDispatcher::ClearSaveBuffers(savedTriggers_);
    }
  } catch (...) {
    forceApply_ = false;
    if (window_) RegisterComPort(false);
    dispatcher_.reset();
    phase_ = TPortPhase::ppClosed;
    open_ = false;
    throw;
  }
  PortOpen();
}

void TCustomSerialPort::ReapplyProperties() {
  forceApply_ = true;
  SetTracing(tracing_);
  SetLogging(logging_);
  SetHWFlowOptions(hwFlow_);
  SetSWFlowOptions(swFlow_);
  SetXOnChar(xonChar_);
  SetXOffChar(xoffChar_);
  SetTriggerLength(triggerLength_);
  SetDTR(dtr_);
  SetRTS(rts_);
  SetRS485Mode(rs485_);
  SetThreadBoost(threadBoost_);
  forceApply_ = false;
}

void TCustomSerialPort::RegisterComPort(bool enable) {
  if (enable) {
    ui::EventLoop* loop = ui::EventLoop::Current();
    if (!loop) RaiseSerialError(ecInternal);  // no thread to receive the events on
    window_ = std::make_shared<NotifyWindow>(this, loop);
    dispatcher_->RegisterWndTriggerHandler(window_);
  } else if (window_) {
    if (dispatcher_) dispatcher_->DeregisterWndTriggerHandler(window_);
    window_->Destroy();
    window_.reset();
  }
}

void TCustomSerialPort::DonePort() {
  open_ = false;
  if (phase_ != TPortPhase::ppOpen) return;
  SetTracing(TTraceLogState::tlDump);
  SetLogging(TTraceLogState::tlDump);
  phase_ = TPortPhase::ppShuttingDown;
  PortClose();
  dispatcher_->SaveTriggers(savedTriggers_);
  triggersSaved_ = true;
  if (dispatcher_->DonePort()) {
    // Called from inside a trigger handler: the dispatcher ends when the
    // delivery returns, and the close completes after that.
    PostClosePending(dispatcher_->Handle() << 16);
    SafeYield();
    return;
  }
  RegisterComPort(false);
  dispatcher_.reset();
  phase_ = TPortPhase::ppClosed;
}

void TCustomSerialPort::PostClosePending(int32_t lParam) {
  if (!window_) return;
  auto w = window_;
  w->Loop()->Post([w, lParam] { w->WndProc(MsgClosePending, 0, lParam); });
}

void TCustomSerialPort::ClosePending(int32_t lParam) {
  if (!dispatcher_) return;
  if (!dispatcher_->WaitThreadsEnded(1)) {
    PostClosePending(lParam);
    return;
  }
  RegisterComPort(false);
  dispatcher_.reset();
  phase_ = TPortPhase::ppClosed;
  if (openAfterClose_) {
    openAfterClose_ = false;
    InitPort();
  }
}

void TCustomSerialPort::SetComNumber(uint16_t n) {
  if (n == comNumber_) return;
  if (phase_ != TPortPhase::ppOpen) {
    comNumber_ = n;
    return;
  }
  TTriggerSave save;
  dispatcher_->SaveTriggers(save);
  TTraceLogState tracing = tracing_, logging = logging_;
  SetOpen(false);
  comNumber_ = n;
  tracing_ = tracing;
  logging_ = logging;
  SetOpen(true);
  if (dispatcher_ && phase_ == TPortPhase::ppOpen) dispatcher_->RestoreTriggers(save);
}

void TCustomSerialPort::PortOpen() {
  auto users = users_;
  for (auto it = users.rbegin(); it != users.rend(); ++it) it->second(this, true);
  if (OnPortOpen) OnPortOpen(this);
}

void TCustomSerialPort::PortClose() {
  auto users = users_;
  for (auto it = users.rbegin(); it != users.rend(); ++it) it->second(this, false);
  if (OnPortClose) OnPortClose(this);
}

void TCustomSerialPort::RegisterUserCallback(const void* key, TPortUserCallback callback) {
  users_.emplace_back(key, std::move(callback));
}

void TCustomSerialPort::DeregisterUserCallback(const void* key) {
  std::erase_if(users_, [&](auto& u) { return u.first == key; });
}

// ---------------------------------------------------------------- events

bool TCustomSerialPort::HandleMessage(uint32_t msg, uint32_t wParam, int32_t lParam) {
  if ((msg < MsgTriggerAvail || msg > MsgTriggerStatus) && msg != MsgClosePending) return true;
  int32_t handle = static_cast<int32_t>(static_cast<uint32_t>(lParam) >> 16);
  TBaseDispatcher* d = TBaseDispatcher::GetTComRecPtr(handle);
  if (!d || !d->Owner()) return true;
  if (msg == MsgClosePending) {
    try {
      ClosePending(lParam);
    } catch (...) {
      if (ui::Application() && ui::EventLoop::Current() && ui::EventLoop::Current()->IsUiThread())
        ui::Application()->HandleException(std::current_exception());
    }
    return true;
  }
  // A port that is closing has nothing more to offer its handlers (its line
  // operations are skipped): events still on their way are dropped.
  if (phase_ != TPortPhase::ppOpen) return true;
  // The handler is not entered again while it runs (a modal box inside it
  // runs a nested loop): the bytes stay unread for a later event.
  if (*inHandler_) return false;
  *inHandler_ = true;
  struct Reset {
    std::shared_ptr<std::atomic<bool>> flag;
    ~Reset() { *flag = false; }
  } reset{inHandler_};
  try {
    uint32_t data = static_cast<uint32_t>(lParam) & 0xFFFF;
    Trigger(msg, wParam, data);
    switch (msg) {
      case MsgTriggerAvail:
        TriggerAvail(static_cast<uint16_t>(std::min<uint32_t>(wParam, 0xFFFF)));
        break;
      case MsgTriggerData:
        TriggerData(wParam);
        break;
      case MsgTriggerTimer:
        TriggerTimer(wParam);
        break;
      case MsgTriggerStatus:
        TriggerStatus(wParam);
        switch (wParam & 7) {
          case stModem:
            TriggerModemStatus();
            break;
          case stLine: {
            TBaseDispatcher* cur = dispatcher_.get();
            uint32_t err = cur ? cur->GetLineError() : 0;
            bool brk = cur ? cur->GetLineBreak() : false;
            TriggerLineError(err, brk);
            break;
          }
          case stOutBuffFree:
            TriggerOutbuffFree();
            break;
          case stOutBuffUsed:
            TriggerOutbuffUsed();
            break;
          case stOutSent:
            TriggerOutSent();
            break;
          default:
            break;
        }
        break;
      default:
        break;
    }
  } catch (...) {
    ui::EventLoop* loop = ui::EventLoop::Current();
    if (ui::Application() && loop && loop->IsUiThread())
      ui::Application()->HandleException(std::current_exception());
  }
  return true;
}

bool TCustomSerialPort::AnyTriggerEvent() const {
  return onTrigger_ || onTriggerAvail_ || onTriggerData_ || onTriggerStatus_ || onTriggerTimer_ ||
         onTriggerLineError_ || onTriggerModemStatus_ || onTriggerOutbuffFree_ ||
         onTriggerOutbuffUsed_ || onTriggerOutSent_;
}

void TCustomSerialPort::UpdateHandlerFlag() {
  if (!dispatcher_ || phase_ != TPortPhase::ppOpen) return;
  dispatcher_->UpdateHandlerFlags(AnyTriggerEvent() ? THandlerFlagUpdate::fuEnablePort
                                                    : THandlerFlagUpdate::fuDisablePort);
}

void TCustomSerialPort::Trigger(uint32_t msg, uint32_t h, uint32_t data) {
  if (onTrigger_) onTrigger_(this, msg, h, data);
}
void TCustomSerialPort::TriggerAvail(uint16_t count) {
  if (onTriggerAvail_) onTriggerAvail_(this, count);
}
void TCustomSerialPort::TriggerData(uint32_t h) {
  if (onTriggerData_) onTriggerData_(this, h);
}
void TCustomSerialPort::TriggerStatus(uint32_t h) {
  if (onTriggerStatus_) onTriggerStatus_(this, h);
}
void TCustomSerialPort::TriggerTimer(uint32_t h) {
  if (onTriggerTimer_) onTriggerTimer_(this, h);
}
void TCustomSerialPort::TriggerLineError(uint32_t error, bool lineBreak) {
  if (onTriggerLineError_) onTriggerLineError_(this, error, lineBreak);
}
void TCustomSerialPort::TriggerModemStatus() {
  if (onTriggerModemStatus_) onTriggerModemStatus_(this);
}
void TCustomSerialPort::TriggerOutbuffFree() {
  if (onTriggerOutbuffFree_) onTriggerOutbuffFree_(this);
}
void TCustomSerialPort::TriggerOutbuffUsed() {
  if (onTriggerOutbuffUsed_) onTriggerOutbuffUsed_(this);
}
void TCustomSerialPort::TriggerOutSent() {
  if (onTriggerOutSent_) onTriggerOutSent_(this);
}
void TCustomSerialPort::WaitChar(char c) {
  if (OnWaitChar) OnWaitChar(this, c);
}

#define DORV_EVENT_SETTER(Name, Type, field) \
  void TCustomSerialPort::Name(Type e) {     \
    field = std::move(e);                    \
    UpdateHandlerFlag();                     \
  }
DORV_EVENT_SETTER(SetOnTrigger, TTriggerEvent2, onTrigger_)
DORV_EVENT_SETTER(SetOnTriggerAvail, TTriggerAvailEvent, onTriggerAvail_)
DORV_EVENT_SETTER(SetOnTriggerData, TTriggerHandleEvent, onTriggerData_)
DORV_EVENT_SETTER(SetOnTriggerStatus, TTriggerHandleEvent, onTriggerStatus_)
DORV_EVENT_SETTER(SetOnTriggerTimer, TTriggerHandleEvent, onTriggerTimer_)
DORV_EVENT_SETTER(SetOnTriggerLineError, TTriggerLineErrorEvent, onTriggerLineError_)
DORV_EVENT_SETTER(SetOnTriggerModemStatus, TPortNotifyEvent, onTriggerModemStatus_)
DORV_EVENT_SETTER(SetOnTriggerOutbuffFree, TPortNotifyEvent, onTriggerOutbuffFree_)
DORV_EVENT_SETTER(SetOnTriggerOutbuffUsed, TPortNotifyEvent, onTriggerOutbuffUsed_)
DORV_EVENT_SETTER(SetOnTriggerOutSent, TPortNotifyEvent, onTriggerOutSent_)
#undef DORV_EVENT_SETTER

// ---------------------------------------------------------------- line operations

TBaseDispatcher* TCustomSerialPort::ValidDispatcher() {
  if (!dispatcher_ && !Designing() && !Loading() && phase_ != TPortPhase::ppOpen && AutoOpen)
    SetOpen(true);
  if (!dispatcher_) RaiseSerialError(ecCommNotOpen);
  return dispatcher_.get();
}

bool TCustomSerialPort::CharReady() {
  if (ShuttingDown()) return false;
  return ValidDispatcher()->CharReady();
}

char TCustomSerialPort::GetChar() {
  if (ShuttingDown()) return '\0';
  char c = 0;
  CheckException(this, ValidDispatcher()->GetChar(c));
  return c;
}

char TCustomSerialPort::PeekChar(uint32_t position) {
  if (ShuttingDown()) return '\0';
  char c = 0;
  CheckException(this, ValidDispatcher()->PeekChar(c, position));
  return c;
}

void TCustomSerialPort::GetBlock(char* buf, uint32_t n) {
  if (ShuttingDown()) return;
  CheckException(this, ValidDispatcher()->GetBlock(buf, n));
}

void TCustomSerialPort::PeekBlock(char* buf, uint32_t n) {
  if (ShuttingDown()) return;
  CheckException(this, ValidDispatcher()->PeekBlock(buf, n));
}

void TCustomSerialPort::PutChar(char c) {
  if (ShuttingDown()) return;
  CheckException(this, ValidDispatcher()->PutChar(c));
}

void TCustomSerialPort::PutString(const std::string& s) {
  if (ShuttingDown()) return;
  CheckException(this, ValidDispatcher()->PutString(s));
}

void TCustomSerialPort::PutBlock(const char* data, uint32_t n) {
  if (ShuttingDown()) return;
  CheckException(this, ValidDispatcher()->PutBlock(data, n));
}

void TCustomSerialPort::FlushInBuffer() {
  if (ShuttingDown()) return;
  CheckException(this, ValidDispatcher()->FlushInBuffer());
}

void TCustomSerialPort::FlushOutBuffer() {
  if (ShuttingDown()) return;
  CheckException(this, ValidDispatcher()->FlushOutBuffer());
}

bool TCustomSerialPort::CheckForString(uint32_t& index, char c, const std::string& s,
                                       bool ignoreCase) {
  if (s.empty()) return true;
  auto eq = [&](char a, char b) {
    return ignoreCase ? std::toupper(static_cast<unsigned char>(a)) ==
                            std::toupper(static_cast<unsigned char>(b))
                      : a == b;
  };
  if (index < s.size() && eq(c, s[index])) {
    ++index;
  } else {
    index = eq(c, s[0]) ? 1 : 0;
  }
  if (index == s.size()) {
    index = 0;
    return true;
  }
  return false;
}

bool TCustomSerialPort::WaitForString(const std::string& s, int timeoutMs, bool ignoreCase) {
  if (ShuttingDown()) return false;
  ValidDispatcher();
  uint32_t index = 0;
  bool found = false;
  auto step = [&] {
    while (!found && dispatcher_ && !ShuttingDown() && dispatcher_->CharReady()) {
      char c = GetChar();
      WaitChar(c);
      found = CheckForString(index, c, s, ignoreCase);
    }
    return found || !dispatcher_;
  };
  ui::EventLoop* loop = ui::EventLoop::Current();
  if (!loop) return step() && found;
  loop->RunUntil(step, std::chrono::milliseconds(timeoutMs));
  return found;
}

uint32_t TCustomSerialPort::InBuffUsed() {
  return ShuttingDown() ? 0 : ValidDispatcher()->InBuffUsed();
}
uint32_t TCustomSerialPort::InBuffFree() {
  return ShuttingDown() ? 0 : ValidDispatcher()->InBuffFree();
}
uint32_t TCustomSerialPort::OutBuffUsed() {
  return ShuttingDown() ? 0 : ValidDispatcher()->OutBuffUsed();
}
uint32_t TCustomSerialPort::OutBuffFree() {
  return ShuttingDown() ? 0 : ValidDispatcher()->OutBuffFree();
}
uint32_t TCustomSerialPort::GetModemStatus() {
  return ShuttingDown() ? 0 : ValidDispatcher()->GetModemStatus();
}
bool TCustomSerialPort::GetCTS() {
  return (GetModemStatus() & platform::MS_CTS_ON) != 0;
}
bool TCustomSerialPort::GetDSR() {
  return (GetModemStatus() & platform::MS_DSR_ON) != 0;
}
bool TCustomSerialPort::GetRI() {
  return (GetModemStatus() & platform::MS_RING_ON) != 0;
}
bool TCustomSerialPort::GetDCD() {
  return (GetModemStatus() & platform::MS_RLSD_ON) != 0;
}
bool TCustomSerialPort::GetDeltaCTS() {
  return (GetModemStatus() & 0x01) != 0;
}
bool TCustomSerialPort::GetDeltaDSR() {
  return (GetModemStatus() & 0x02) != 0;
}
bool TCustomSerialPort::GetDeltaRI() {
  return (GetModemStatus() & 0x04) != 0;
}
bool TCustomSerialPort::GetDeltaDCD() {
  return (GetModemStatus() & 0x08) != 0;
}
uint32_t TCustomSerialPort::GetLineError() {
  return ShuttingDown() ? 0 : ValidDispatcher()->GetLineError();
}
bool TCustomSerialPort::GetLineBreak() {
  return ShuttingDown() ? false : ValidDispatcher()->GetLineBreak();
}

void TCustomSerialPort::SetBreak(bool on) {
  if (ShuttingDown()) return;
  CheckException(this, ValidDispatcher()->SetBreak(on));
}

void TCustomSerialPort::SendBreak(uint32_t ticks, bool yield) {
  if (ShuttingDown()) return;
  SetBreak(true);
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ticks * kMsPerTick);
  ui::EventLoop* loop = ui::EventLoop::Current();
  if (yield && loop && loop->IsUiThread())
    loop->RunUntil(nullptr, std::chrono::milliseconds(ticks * kMsPerTick));
  else
    std::this_thread::sleep_until(until);
  if (dispatcher_ && !ShuttingDown()) SetBreak(false);
}

// ---------------------------------------------------------------- triggers

int32_t TCustomSerialPort::AddDataTrigger(const std::string& s, bool ignoreCase) {
  if (ShuttingDown()) return 0;
  return CheckException(this, ValidDispatcher()->AddDataTrigger(s, ignoreCase));
}
int32_t TCustomSerialPort::AddTimerTrigger() {
  if (ShuttingDown()) return 0;
  return CheckException(this, ValidDispatcher()->AddTimerTrigger());
}
int32_t TCustomSerialPort::AddStatusTrigger(uint16_t type) {
  if (ShuttingDown()) return 0;
  return CheckException(this, ValidDispatcher()->AddStatusTrigger(type));
}
void TCustomSerialPort::RemoveTrigger(int32_t handle) {
  if (ShuttingDown()) return;
  CheckException(this, ValidDispatcher()->RemoveTrigger(handle));
}
void TCustomSerialPort::RemoveAllTriggers() {
  if (ShuttingDown()) return;
  ValidDispatcher()->RemoveAllTriggers();
}
void TCustomSerialPort::SetTimerTrigger(int32_t handle, uint32_t ticks, bool activate) {
  if (ShuttingDown()) return;
  CheckException(this, ValidDispatcher()->SetTimerTrigger(handle, ticks, activate));
}
void TCustomSerialPort::SetStatusTrigger(int32_t handle, uint32_t value, bool activate) {
  if (ShuttingDown()) return;
  CheckException(this, ValidDispatcher()->SetStatusTrigger(handle, value, activate));
}

// ---------------------------------------------------------------- properties

void TCustomSerialPort::SetDeviceLayer(TDeviceLayer v) {
  if (phase_ == TPortPhase::ppOpen || v != TDeviceLayer::dlWin32) return;
  deviceLayer_ = v;
}

void TCustomSerialPort::SetBaud(int32_t v) {
  if (v == baud_ && !forceApply_) return;
  baud_ = v;
  if (phase_ == TPortPhase::ppOpen)
    CheckException(
        this, dispatcher_->SetLine(baud_, static_cast<uint32_t>(parity_), dataBits_, stopBits_));
}

void TCustomSerialPort::SetParity(TParity v) {
  if (v == parity_ && !forceApply_) return;
  parity_ = v;
  if (phase_ == TPortPhase::ppOpen)
    CheckException(
        this, dispatcher_->SetLine(baud_, static_cast<uint32_t>(parity_), dataBits_, stopBits_));
}

void TCustomSerialPort::SetDataBits(uint16_t v) {
  if (v == dataBits_ && !forceApply_) return;
  dataBits_ = v;
  if (phase_ == TPortPhase::ppOpen)
    CheckException(
        this, dispatcher_->SetLine(baud_, static_cast<uint32_t>(parity_), dataBits_, stopBits_));
}

void TCustomSerialPort::SetStopBits(uint16_t v) {
  if (v == stopBits_ && !forceApply_) return;
  stopBits_ = v;
  if (phase_ == TPortPhase::ppOpen)
    CheckException(
        this, dispatcher_->SetLine(baud_, static_cast<uint32_t>(parity_), dataBits_, stopBits_));
}

void TCustomSerialPort::SetInSize(uint16_t v) {
  inSize_ = v;
  if (phase_ == TPortPhase::ppOpen) dispatcher_->SetCommBuffers(inSize_, outSize_);
}

void TCustomSerialPort::SetOutSize(uint16_t v) {
  outSize_ = v;  // the output ring keeps its size until the next open
  if (phase_ == TPortPhase::ppOpen) dispatcher_->SetCommBuffers(inSize_, outSize_);
}

void TCustomSerialPort::SetDTR(bool v) {
  if (v == dtr_ && !forceApply_) return;
  if (phase_ == TPortPhase::ppOpen) CheckException(this, dispatcher_->SetDtr(v));
  dtr_ = v;
}

void TCustomSerialPort::SetRTS(bool v) {
  if (v == rts_ && !forceApply_) return;
  if (phase_ == TPortPhase::ppOpen) CheckException(this, dispatcher_->SetRts(v));
  rts_ = v;
}

void TCustomSerialPort::SetHWFlowOptions(uint32_t v) {
  if (v == hwFlow_ && !forceApply_) return;
  if (v != 0) {
    if (BufferFull == 0 || BufferFull > inSize_) BufferFull = static_cast<uint16_t>(0.9 * inSize_);
    if (BufferResume == 0 || BufferResume > BufferFull)
      BufferResume = static_cast<uint16_t>(0.1 * inSize_);
  }
  if (phase_ == TPortPhase::ppOpen)
    CheckException(this, dispatcher_->HWFlowOptions(BufferFull, BufferResume, v));
  hwFlow_ = v;
  if (v & (hwfUseRTS | hwfRequireCTS)) rs485_ = false;
}

void TCustomSerialPort::SetSWFlowOptions(TSWFlowOptions v) {
  if (v == swFlow_ && !forceApply_) return;
  if (v != TSWFlowOptions::swfNone) {
    if (BufferFull == 0 || BufferFull > inSize_) BufferFull = static_cast<uint16_t>(0.75 * inSize_);
    if (BufferResume == 0 || BufferResume > BufferFull)
      BufferResume = static_cast<uint16_t>(0.25 * inSize_);
  }
  if (phase_ == TPortPhase::ppOpen) {
    if (v == TSWFlowOptions::swfNone) {
      CheckException(this, dispatcher_->SWFlowDisable());
    } else {
      uint32_t mode = v == TSWFlowOptions::swfReceive    ? 2
                      : v == TSWFlowOptions::swfTransmit ? 1
                                                         : 3;
      CheckException(this, dispatcher_->SWFlowEnable(BufferFull, BufferResume, mode));
    }
  }
  swFlow_ = v;
}

void TCustomSerialPort::SetXOnChar(char c) {
  if (c == xonChar_ && !forceApply_) return;
  xonChar_ = c;
  if (phase_ == TPortPhase::ppOpen)
    CheckException(this, dispatcher_->SWFlowChars(xonChar_, xoffChar_));
}

void TCustomSerialPort::SetXOffChar(char c) {
  if (c == xoffChar_ && !forceApply_) return;
  xoffChar_ = c;
  if (phase_ == TPortPhase::ppOpen)
    CheckException(this, dispatcher_->SWFlowChars(xonChar_, xoffChar_));
}

void TCustomSerialPort::SetRS485Mode(bool v) {
  if (v == rs485_ && !forceApply_) return;
  rs485_ = v;
  if (v) {
    hwFlow_ &= ~(hwfUseRTS | hwfRequireCTS);
    SetRTS(false);
  }
  if (phase_ == TPortPhase::ppOpen) dispatcher_->SetRS485Mode(v);
}

void TCustomSerialPort::SetTriggerLength(uint16_t v) {
  if (v == triggerLength_ && !forceApply_) return;
  triggerLength_ = v;
  if (phase_ == TPortPhase::ppOpen) dispatcher_->ChangeLengthTrigger(v);
}

void TCustomSerialPort::SetThreadBoost(TThreadBoost v) {
  if (v == threadBoost_ && !forceApply_) return;
  threadBoost_ = v;
  if (phase_ == TPortPhase::ppOpen) dispatcher_->SetThreadBoost(v);
}

namespace {
// The state a closed port keeps: only on and off.
TTraceLogState Stored(TTraceLogState v) {
  return v == TTraceLogState::tlOn ? v : TTraceLogState::tlOff;
}
}  // namespace

void TCustomSerialPort::SetTracing(TTraceLogState v) {
  SetRecording(TBaseDispatcher::Recording::Trace, tracing_, v, TraceSize, TraceName, TraceHex,
               TraceAllHex);
}

void TCustomSerialPort::SetLogging(TTraceLogState v) {
  SetRecording(TBaseDispatcher::Recording::Log, logging_, v, LogSize, LogName, LogHex, LogAllHex);
}

void TCustomSerialPort::SetRecording(TBaseDispatcher::Recording which, TTraceLogState& state,
                                     TTraceLogState v, uint32_t size, const std::string& name,
                                     bool hex, bool allHex) {
  if (phase_ != TPortPhase::ppOpen || !dispatcher_) {
    state = Stored(v);
    return;
  }
  TBaseDispatcher* d = dispatcher_.get();
  switch (v) {
    case TTraceLogState::tlOff:
      d->AbortRecording(which);
      state = v;
      break;
    case TTraceLogState::tlOn:
      d->StartRecording(which, size);
      state = v;
      break;
    case TTraceLogState::tlDump:
    case TTraceLogState::tlAppend:
      if (state == TTraceLogState::tlOn || state == TTraceLogState::tlPause)
        d->DumpRecording(which, name, hex, allHex, v == TTraceLogState::tlAppend);
      break;
    case TTraceLogState::tlClear:
      d->ClearRecording(which);
      break;
    case TTraceLogState::tlPause:
      if (state == TTraceLogState::tlOn) {
        d->PauseRecording(which, true);
        state = v;
      }
      break;
  }
}

}  // namespace dorv::serial
