#pragma once
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/comm_device.h"
#include "serial/recorder.h"
#include "serial/serial_misc.h"

namespace dorv::ui {
class EventLoop;
}

namespace dorv::serial {

class TCustomSerialPort;

// Messages from the dispatcher to its handlers. In every lParam the high 16
// bits carry the dispatcher's handle and the low 16 bits the value.
enum : uint32_t {
  MsgTriggerAvail = 0x7E01,   // wParam: unread bytes
  MsgTriggerData = 0x7E02,    // wParam: trigger handle; value: string length
  MsgTriggerTimer = 0x7E03,   // wParam: trigger handle
  MsgTriggerStatus = 0x7E04,  // wParam: trigger handle; value: type-specific
  MsgPortOpen = 0x7E08,
  MsgPortClose = 0x7E09,
  MsgClosePending = 0x7E0A,
};

constexpr uint32_t kDispatchBufferSize = 8192;
constexpr uint32_t kMaxDataTriggerLength = 21;

// Status trigger types (the low 3 bits of a status trigger's handle).
enum : uint16_t {
  stNotActive = 0,
  stModem = 1,
  stLine = 2,
  stOutBuffFree = 3,
  stOutBuffUsed = 4,
  stOutSent = 5,
};

// Line error bits.
enum : uint32_t {
  leRxOverrun = 0x01,
  leOverrun = 0x02,
  leParity = 0x04,
  leFraming = 0x08,
  leBreak = 0x10,
};

enum class TThreadBoost { tbNone, tbPlusOne, tbPlusTwo };
enum class THandlerFlagUpdate { fuKeepPort, fuEnablePort, fuDisablePort };

// A window-like receiver of trigger messages: its procedure runs on the
// thread of its event loop, called synchronously by the dispatching thread.
class TNotifyWindow {
 public:
  virtual ~TNotifyWindow() = default;
  virtual ui::EventLoop* Loop() const = 0;
  // The window procedure. False when the window could not take the message
  // now (it is still inside a handler of an earlier one).
  virtual bool WndProc(uint32_t msg, uint32_t wParam, int32_t lParam) = 0;
  // True while the window runs a handler: the dispatcher then holds its
  // events back instead of waiting for it.
  virtual bool Busy() const = 0;
  // A destroyed window takes no more messages.
  virtual bool Destroyed() const = 0;
};
using TNotifyWindowPtr = std::shared_ptr<TNotifyWindow>;

// Handlers called directly on the dispatching thread.
using TTriggerProc = void (*)(uint32_t msg, uint32_t wParam, int32_t lParam);
using TTriggerEvent = std::function<void(uint32_t msg, uint32_t wParam, int32_t lParam)>;

struct TDataTrigger {
  int32_t Handle = 0;
  uint32_t Length = 0;
  // Lengths of the partial matches in progress (0 = unused slot).
  std::array<uint32_t, kMaxDataTriggerLength + 1> MatchState{};
  bool Matched = false;
  bool IgnoreCase = false;
  std::array<char, kMaxDataTriggerLength + 1> Data{};
};

struct TTimerTrigger {
  int32_t Handle = 0;
  EventTimer Timer;
  uint32_t Ticks = 0;
  bool Active = false;
};

struct TStatusTrigger {
  int32_t Handle = 0;
  uint16_t Type = stNotActive;
  uint32_t Value = 0;       // mask or threshold
  uint32_t ArmedModem = 0;  // modem status when a modem trigger was armed
  bool Active = false;
  bool Hit = false;
};

struct TTriggerSave {
  uint32_t TriggerLength = 0;
  std::vector<TTimerTrigger> Timers;
  std::vector<TDataTrigger> Data;
  std::vector<TStatusTrigger> Status;
};

// Advances the match of one data trigger by one received byte; true when the
// string has just been completed.
bool MatchDataTrigger(TDataTrigger& t, char c);
// The device's stop-bit code for the requested stop bits (0 = 1, 3 =
// unchanged, above 3 = 2) and data bits, given the current code.
uint8_t StopBitsCode(uint32_t stopBits, uint32_t dataBits, uint8_t currentCode);

// The dispatcher of one open port: the device, the receive ring of 8192
// bytes, the output ring of OutSize bytes, the triggers and handlers, and
// three threads (communications events, dispatching, output). Created per
// open, freed per close. Operations return 0 or a count, or a negative code.
class TBaseDispatcher {
 public:
  explicit TBaseDispatcher(TCustomSerialPort* owner);
  virtual ~TBaseDispatcher();
  TBaseDispatcher(const TBaseDispatcher&) = delete;
  TBaseDispatcher& operator=(const TBaseDispatcher&) = delete;

  // ---- Device operations, supplied by the concrete dispatcher ----
  virtual int32_t EscapeComFunction(int function) = 0;
  virtual int32_t FlushDevice(uint32_t purgeFlags) = 0;
  virtual uint32_t DeviceError(platform::TComStat& stat) = 0;
  virtual int32_t GetComState(platform::TDcb& dcb) = 0;
  virtual int32_t SetComState(const platform::TDcb& dcb) = 0;
  virtual int32_t GetModemStatusPrim(uint32_t& status) = 0;
  virtual long ReadCom(char* buf, uint32_t n) = 0;
  virtual long WriteDevice(const char* buf, uint32_t n, bool& cancelled) = 0;
  virtual void CancelDeviceWrite() = 0;
  virtual platform::WaitResult WaitComEvent(uint32_t mask, uint32_t& events, int timeoutMs) = 0;
  virtual void CancelComWait() = 0;
  virtual int32_t SetupCom(uint32_t inSize, uint32_t outSize) = 0;
  // Opens the device: 0, or the negated system error.
  virtual int32_t OpenCom(const std::string& name, uint32_t inSize, uint32_t outSize) = 0;
  virtual int32_t CloseCom() = 0;
  virtual bool DeviceOpen() const = 0;
  virtual int32_t ProcessCommunications() { return 0; }

  virtual void DonePortPrim();
  virtual void StartDispatcher();
  virtual void StopDispatcher();
  virtual void SetThreadBoost(TThreadBoost boost);
  void SetRS485Mode(bool on);
  virtual void UpdateHandlerFlags(THandlerFlagUpdate update);

  // ---- Port operations ----
  int32_t InitPort(const std::string& name, int32_t baud, uint32_t parity, uint32_t dataBits,
                   uint32_t stopBits, uint32_t inSize, uint32_t outSize, bool dtr, bool rts);
  // Closes; true when the close was left to the end of a running delivery.
  bool DonePort();
  int32_t SetLine(int32_t baud, uint32_t parity, uint32_t dataBits, uint32_t stopBits);
  int32_t SetDtr(bool on);
  int32_t SetRts(bool on);
  int32_t HWFlowOptions(uint32_t bufferFull, uint32_t bufferResume, uint32_t options);
  int32_t SWFlowEnable(uint32_t bufferFull, uint32_t bufferResume, uint32_t mode);
  int32_t SWFlowDisable();
  int32_t SWFlowChars(char xon, char xoff);
  int32_t SetCommBuffers(uint32_t inSize, uint32_t outSize);
  int32_t SetBreak(bool on);

  bool CharReady();
  int32_t GetChar(char& c);
  int32_t PeekChar(char& c, uint32_t position);
  int32_t GetBlock(char* buf, uint32_t n);
  int32_t PeekBlock(char* buf, uint32_t n);
  int32_t PutChar(char c) { return PutBlock(&c, 1); }
  int32_t PutString(const std::string& s) {
    return PutBlock(s.data(), static_cast<uint32_t>(s.size()));
  }
  int32_t PutBlock(const char* data, uint32_t n);
  int32_t FlushInBuffer();
  int32_t FlushOutBuffer();
  uint32_t InBuffUsed();
  uint32_t InBuffFree();
  uint32_t OutBuffUsed();
  uint32_t OutBuffFree();

  uint32_t GetModemStatus();
  uint32_t GetLineError();
  bool GetLineBreak();
  int32_t CheckLineBreak();

  // ---- Triggers ----
  void ChangeLengthTrigger(uint32_t length);
  uint32_t TriggerLength();
  int32_t AddDataTrigger(const std::string& s, bool ignoreCase);
  int32_t AddDataTriggerLen(const char* s, bool ignoreCase, uint32_t length);
  int32_t AddTimerTrigger();
  int32_t SetTimerTrigger(int32_t handle, uint32_t ticks, bool activate);
  int32_t ExtendTimer(int32_t handle, uint32_t ticks);
  int32_t TimerTicksRemaining(int32_t handle, uint32_t& ticks);
  int32_t AddStatusTrigger(uint16_t type);
  int32_t SetStatusTrigger(int32_t handle, uint32_t value, bool activate);
  int32_t RemoveTrigger(int32_t handle);
  void RemoveAllTriggers();
  void SaveTriggers(TTriggerSave& save);
  void RestoreTriggers(const TTriggerSave& save);
  static void ClearSaveBuffers(TTriggerSave& save) { save = {}; }

  // ---- Handlers ----
  void RegisterWndTriggerHandler(const TNotifyWindowPtr& window);
  void DeregisterWndTriggerHandler(const TNotifyWindowPtr& window);
  void RegisterProcTriggerHandler(TTriggerProc proc);
  void DeregisterProcTriggerHandler(TTriggerProc proc);
  void RegisterEventTriggerHandler(const void* key, TTriggerEvent event);
  void RegisterSyncEventTriggerHandler(const void* key, TTriggerEvent event);
  void DeregisterEventTriggerHandler(const void* key);

  // ---- Character trace and dispatch log (off unless switched on) ----
  enum class Recording { Trace, Log };
  void StartRecording(Recording which, uint32_t size);
  void AbortRecording(Recording which);
  void PauseRecording(Recording which, bool paused);
  void ClearRecording(Recording which);
  bool DumpRecording(Recording which, const std::string& path, bool hex, bool allHex, bool append);

  // ---- State ----
  TCustomSerialPort* Owner() const { return owner_; }
  int32_t Handle() const { return handle_; }
  bool DeliveringEvent() const { return deliveringEvent_; }
  bool CloseWhenIdle() const { return closeWhenIdle_; }
  bool ThreadsRunning() const { return threadsRunning_; }
  // Waits up to ms for the threads to end; true when they have.
  bool WaitThreadsEnded(int ms);
  uint32_t OutSize() const { return outSize_; }
  uint32_t InSize() const { return inSize_; }

  // The dispatcher of a handle (null when there is none).
  static TBaseDispatcher* GetTComRecPtr(int32_t handle);
  static void LockPortList();
  static void UnlockPortList();

 protected:
  // Closes the port and ends the threads; every concrete dispatcher calls it
  // from its destructor, while its device still exists.
  void Shutdown();

  // ---- Dispatching-thread side ----
  bool CheckReceiveTriggers();
  bool CheckStatusTriggers();
  bool CheckTimerTriggers();
  bool SendNotify(uint32_t msg, uint32_t wParam, uint32_t value);
  void ExtractData();
  void RefreshStatus();
  uint32_t GetComError(platform::TComStat& stat);

  // Signals between the threads and callers.
  enum : uint32_t {
    kRxEvent = 1,
    kRxDone = 2,
    kAck = 4,
    kTxData = 8,
    kTxFlush = 16,
    kFlushAck = 32,
    kWake = 64,  // the dispatching thread looks again at what it waits for
  };
  TSignalSet signals_;

  std::atomic<bool> stopThreads_{false};

 private:
  struct WndHandler {
    TNotifyWindowPtr Window;
    bool Deleted = false;
  };
  struct ProcHandler {
    TTriggerProc Proc = nullptr;
    bool Deleted = false;
  };
  struct EventHandler {
    const void* Key = nullptr;
    TTriggerEvent Event;
    bool Deleted = false;
    bool Synchronized = false;
  };
  enum class Delivery { Consumed, NotConsumed, Deferred };
  // A synchronous call to a window, shared with that call.
  struct CallState {
    std::mutex mutex;
    bool started = false, abandoned = false, accepted = true;
    TNotifyWindowPtr window;
    uint32_t msg = 0, wParam = 0;
    int32_t lParam = 0;
  };

  void ComThreadMain();
  void DispThreadMain();
  void OutThreadMain();
  void RunThread(void (TBaseDispatcher::*body)(), std::atomic<bool>& alive);
  void ThreadGone(std::atomic<bool>& alive, bool dispThread);
  void WaitThreadGone(const std::atomic<bool>& alive);
  void WriteOutRing();
  void WaitTxSent();
  int32_t SetCommStateFix(platform::TDcb& dcb);
  int32_t NewTriggerHandle();
  bool HandleInUse(int32_t handle) const;
  void ResetStatusHits();
  void PurgeDeletedHandlers();
  void UpdateHandlerFlagsLocked(THandlerFlagUpdate update);
  void ReleaseBuffers();
  bool RunStatusTriggers();
  bool PassesWithoutEvents();
  Delivery CallWindow(const WndHandler& h, uint32_t msg, uint32_t wParam, int32_t lParam);
  void AddTrace(char kind, const char* data, uint32_t n);
  void AddLog(const std::string& entry);
  uint32_t UnreadLocked() const;

  TCustomSerialPort* owner_;
  int32_t handle_ = -1;

  std::recursive_mutex dispatchLock_;
  std::recursive_mutex outputLock_;
  std::recursive_mutex inputLock_;

  // Line state (DispatchLock).
  uint32_t lineErrors_ = 0;
  uint32_t inSize_ = 0, outSize_ = 0;
  uint32_t modemStatus_ = 0;
  platform::TComStat comStat_;
  platform::TDcb dcb_;
  uint32_t lastBaud_ = 115200;
  bool dtrState_ = false, dtrAuto_ = false, rtsState_ = false, rtsAuto_ = false;
  bool rs485Mode_ = false;
  TThreadBoost threadBoost_ = TThreadBoost::tbNone;

  // Handlers and triggers (DispatchLock).
  bool portHandlerWanted_ = false;
  std::atomic<bool> notifyNeeded_{false};
  std::vector<WndHandler> wndHandlers_;
  std::vector<ProcHandler> procHandlers_;
  std::vector<EventHandler> eventHandlers_;
  std::vector<TTimerTrigger> timerTriggers_;
  std::vector<TDataTrigger> dataTriggers_;
  std::vector<TStatusTrigger> statusTriggers_;
  uint32_t triggerLength_ = 0;
  int32_t triggerCounter_ = 1;
  bool globalStatusHit_ = false;
  bool purgeHandlers_ = false;
  bool txWritten_ = false;

  // Receive ring (InputLock). Totals count bytes since the open, so that
  // "new bytes since the last event" stays exact across the ring's wrap.
  std::unique_ptr<char[]> dispatchBuffer_;
  uint32_t inHead_ = 0, inTail_ = 0;
  bool inFull_ = false;
  uint64_t inTotal_ = 0;        // bytes moved into the ring
  uint64_t scanTotal_ = 0;      // bytes scanned for data triggers
  uint64_t notifiedTotal_ = 0;  // bytes covered by the last availability event
  bool inAvailDelivery_ = false;
  uint32_t handlerReadCount_ = 0;
  uint32_t maxHandlerReadCount_ = 0;

  // Output ring (OutputLock).
  std::unique_ptr<char[]> outRing_;
  uint32_t outHead_ = 0, outTail_ = 0;
  bool outFull_ = false;
  uint64_t flushGeneration_ = 0;

  // Threads.
  std::atomic<uint32_t> eventMask_{0};
  std::atomic<bool> ringSeen_{false};
  std::atomic<uint32_t> queuedBlocks_{0};   // blocks queued for output so far
  std::atomic<uint32_t> lastPassBytes_{0};  // bytes the last pass moved
  std::atomic<bool> deliveringEvent_{false};
  std::atomic<bool> closeWhenIdle_{false};
  std::atomic<bool> threadsRunning_{false};
  std::atomic<bool> finishOnExit_{false};
  std::atomic<int> liveThreads_{0};
  std::atomic<bool> comAlive_{false}, dispAlive_{false}, outAlive_{false};
  std::thread comThread_, dispThread_, outThread_;
  std::mutex goneMutex_;
  std::condition_variable goneCv_;
  bool deferredDelivery_ = false;         // dispatching thread only
  std::shared_ptr<CallState> callState_;  // dispatching thread only
  bool shutDown_ = false;

  // Trace and log (DispatchLock).
  TRecorder& RecorderOf(Recording which) { return which == Recording::Trace ? trace_ : log_; }
  TRecorder trace_{true}, log_{false};
  uint64_t logStartMs_ = 0;
};

}  // namespace dorv::serial
