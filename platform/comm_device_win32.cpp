// Communications devices on Windows: \\.\COMn opened for overlapped I/O.
// Every operation has an OVERLAPPED of its own, so that the waiting, reading
// and writing threads never share one; a cancel event per waiting kind ends
// a wait or a write early.
//
// The interface's constants carry the names and values of the Windows ones;
// it comes before the Windows headers, whose macros of the same names then
// stand for the same numbers.
#include "platform/comm_device.h"
#include "platform/port_namespace.h"
#include "platform/win32_text.h"
// clang-format off
#include <windows.h>
// clang-format on

#include <atomic>
#include <cwctype>
#include <mutex>
#include <shared_mutex>

namespace dorv::platform {

int CommErrorFromSystem(int systemError) {
  // The serial layer counts in the system's own error codes.
  return systemError;
}

std::string OpenFailureHint(int commError) {
  switch (commError) {
    case kErrSharingViolation:
      return "別のプログラムがこのポートを使っています。そのプログラムを閉じてください";
    case kErrFileNotFound:
      return "ロガーが接続されているか、デバイス マネージャーでポート番号を確かめてください";
    default:
      return "";
  }
}

std::string SystemErrorText(int commError) {
  if (commError <= 0) return "";
  return win32::ErrorText(static_cast<uint32_t>(commError));
}

namespace {

constexpr uint32_t kModemLineEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING;
constexpr uint32_t kLineEvents = EV_BREAK | EV_ERR;
// How often the receive queue is looked at where waiting is not possible.
constexpr DWORD kPollMs = 2;

// An event for one overlapped operation, closed with it.
class OverlappedOp {
 public:
  OverlappedOp() { ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
  ~OverlappedOp() {
    if (ov.hEvent) CloseHandle(ov.hEvent);
  }
  OverlappedOp(const OverlappedOp&) = delete;
  OverlappedOp& operator=(const OverlappedOp&) = delete;
  bool ok() const { return ov.hEvent != nullptr; }
  OVERLAPPED ov{};
};

class Win32CommDevice : public CommDevice {
 public:
  Win32CommDevice(HANDLE h, HANDLE claim, HANDLE waitCancel, HANDLE writeCancel)
      : h_(h), claim_(claim), waitCancel_(waitCancel), writeCancel_(writeCancel) {}

  ~Win32CommDevice() override {
    Close();
    CloseHandle(waitCancel_);
    CloseHandle(writeCancel_);
  }

  void Close() override {
    closing_ = true;
    SetEvent(waitCancel_);
    SetEvent(writeCancel_);
    {
      // Ends the operations pending now (they hold the device shared).
      std::shared_lock<std::shared_mutex> lock(mutex_);
      if (h_ != INVALID_HANDLE_VALUE) CancelIoEx(h_, nullptr);
    }
    std::unique_lock<std::shared_mutex> lock(mutex_);
    if (h_ == INVALID_HANDLE_VALUE) return;
    CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
    CloseHandle(claim_);  // the port is free for the next opener
  }

  bool IsOpen() const override { return !closing_; }

  int SetupQueues(uint32_t inSize, uint32_t outSize) override {
    Guard g(this);
    if (!g.ok) return kErrInvalidHandle;
    return SetupComm(h_, inSize, outSize) ? 0 : static_cast<int>(GetLastError());
  }

  int GetState(TDcb& dcb) override {
    Guard g(this);
    if (!g.ok) return kErrInvalidHandle;
    DCB d{};
    d.DCBlength = sizeof d;
    if (!GetCommState(h_, &d)) return static_cast<int>(GetLastError());
    dcb.BaudRate = d.BaudRate;
    dcb.fBinary = d.fBinary;
    dcb.fParity = d.fParity;
    dcb.fOutxCtsFlow = d.fOutxCtsFlow;
    dcb.fOutxDsrFlow = d.fOutxDsrFlow;
    dcb.fDtrControl = static_cast<uint8_t>(d.fDtrControl);
    dcb.fDsrSensitivity = d.fDsrSensitivity;
    dcb.fTXContinueOnXoff = d.fTXContinueOnXoff;
    dcb.fOutX = d.fOutX;
    dcb.fInX = d.fInX;
    dcb.fNull = d.fNull;
    dcb.fRtsControl = static_cast<uint8_t>(d.fRtsControl);
    dcb.XonLim = d.XonLim;
    dcb.XoffLim = d.XoffLim;
    dcb.ByteSize = d.ByteSize;
    dcb.Parity = d.Parity;
    dcb.StopBits = d.StopBits;
    dcb.XonChar = d.XonChar;
    dcb.XoffChar = d.XoffChar;
    return 0;
  }

  int SetState(const TDcb& dcb) override {
    Guard g(this);
    if (!g.ok) return kErrInvalidHandle;
    DCB d{};
    d.DCBlength = sizeof d;
    if (!GetCommState(h_, &d)) return static_cast<int>(GetLastError());
    d.BaudRate = dcb.BaudRate;
    d.fBinary = TRUE;  // Windows supports binary transfers only
    d.fParity = dcb.fParity;
    d.fOutxCtsFlow = dcb.fOutxCtsFlow;
    d.fOutxDsrFlow = dcb.fOutxDsrFlow;
    d.fDtrControl = dcb.fDtrControl;
    d.fDsrSensitivity = dcb.fDsrSensitivity;
    d.fTXContinueOnXoff = dcb.fTXContinueOnXoff;
    d.fOutX = dcb.fOutX;
    d.fInX = dcb.fInX;
    d.fErrorChar = FALSE;
    d.fNull = dcb.fNull;
    d.fRtsControl = dcb.fRtsControl;
    d.fAbortOnError = FALSE;  // a line error must not stop every later read
    d.XonLim = dcb.XonLim;
    d.XoffLim = dcb.XoffLim;
    d.ByteSize = dcb.ByteSize;
    d.Parity = dcb.Parity;
    d.StopBits = dcb.StopBits;
    d.XonChar = dcb.XonChar;
    d.XoffChar = dcb.XoffChar;
    if (!SetCommState(h_, &d)) return static_cast<int>(GetLastError());
    return 0;
  }

  int Escape(int function) override {
    Guard g(this);
    if (!g.ok) return kErrInvalidHandle;
    if (EscapeCommFunction(h_, static_cast<DWORD>(function))) return 0;
    DWORD e = GetLastError();
    // Lines the device cannot drive are ignored, as the interface promises
    // (a virtual port without modem lines refuses them).
    if (e == ERROR_INVALID_PARAMETER || e == ERROR_NOT_SUPPORTED || e == ERROR_INVALID_FUNCTION ||
        e == ERROR_GEN_FAILURE)
      return 0;
    return static_cast<int>(e);
  }

  int ModemStatus(uint32_t& status) override {
    Guard g(this);
    status = 0;
    if (!g.ok) return kErrInvalidHandle;
    DWORD bits = 0;
    if (!GetCommModemStatus(h_, &bits)) return 0;  // no modem lines
    status = bits & (MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON);
    return 0;
  }

  uint32_t ClearError(TComStat& stat, bool outCount = true) override {
    Guard g(this);
    stat = {};
    if (!g.ok) return 0;
    DWORD errors = 0;
    COMSTAT cs{};
    if (!ClearCommError(h_, &errors, &cs)) return lineErrors_.exchange(0);
    stat.cbInQue = cs.cbInQue;
    if (outCount) stat.cbOutQue = cs.cbOutQue;
    return (errors & 0x1F) | lineErrors_.exchange(0);
  }

  int Purge(uint32_t flags) override {
    if (flags & PURGE_TXABORT) CancelWrite();
    Guard g(this);
    if (!g.ok) return kErrInvalidHandle;
    return PurgeComm(h_, flags) ? 0 : static_cast<int>(GetLastError());
  }

  WaitResult WaitEvent(uint32_t mask, uint32_t& events, int timeoutMs) override {
    events = 0;
    Guard g(this);
    if (!g.ok || failed_) return WaitResult::Failed;
    if (WaitForSingleObject(waitCancel_, 0) == WAIT_OBJECT_0) return Cancelled();
    // Bytes that wait already count as an event: a byte that came while no
    // wait ran may have been announced to no one (Windows reports EV_RXCHAR
    // for new bytes only), and the caller reads only what was announced.
    if (mask & EV_RXCHAR) {
      DWORD errors = 0;
      COMSTAT cs{};
      if (!ClearCommError(h_, &errors, &cs)) return Gone();
      lineErrors_ |= errors & 0x1F;  // kept for the next ClearError
      if (cs.cbInQue > 0) {
        events = EV_RXCHAR;
        return WaitResult::Event;
      }
    }
    if (pollOnly_) return PollForBytes(mask, events, timeoutMs);
    for (;;) {
      const uint32_t wanted = mask & ~refused_;
      if (wanted == 0) {
        // Nothing this device can report: only a cancel ends the wait.
        DWORD w = WaitForSingleObject(waitCancel_,
                                      timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
        return w == WAIT_OBJECT_0 ? Cancelled() : WaitResult::TimedOut;
      }
      if (wanted != mask_) {
        if (!SetCommMask(h_, wanted)) return Gone();
        mask_ = wanted;
      }
      OverlappedOp op;
      if (!op.ok()) return WaitResult::Failed;
      DWORD got = 0;
      if (!WaitCommEvent(h_, &got, &op.ov)) {
        DWORD e = GetLastError();
        if (e != ERROR_IO_PENDING) {
          // A port without modem lines or line-error counters may refuse to
          // wait for their changes (Wine's ports on pseudo-terminals do):
          // wait for the rest.
          if (Refuse(e, wanted)) continue;
          if (pollOnly_) return PollForBytes(mask, events, timeoutMs);
          return Gone();
        }
        HANDLE handles[2] = {op.ov.hEvent, waitCancel_};
        DWORD w = WaitForMultipleObjects(2, handles, FALSE,
                                         timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
        if (w != WAIT_OBJECT_0) {
          // The wait must be over before its OVERLAPPED goes away: setting
          // the mask ends a pending wait, and the cancel ends it where the
          // driver lets a wait be cancelled.
          SetCommMask(h_, wanted);
          CancelIoEx(h_, &op.ov);
          DWORD n = 0;
          bool completed = GetOverlappedResult(h_, &op.ov, &n, TRUE);
          if (closing_) return WaitResult::Failed;
          if (w == WAIT_OBJECT_0 + 1) return WaitResult::Cancelled;
          if (!completed || got == 0) return w == WAIT_TIMEOUT ? WaitResult::TimedOut : Gone();
        } else {
          DWORD n = 0;
          if (!GetOverlappedResult(h_, &op.ov, &n, FALSE)) {
            if (closing_) return WaitResult::Failed;
            // The refusal may come only when the wait has begun (Wine ends
            // it as aborted).
            if (Refuse(GetLastError(), wanted)) continue;
            if (pollOnly_) return PollForBytes(mask, events, timeoutMs);
            return Gone();
          }
        }
      }
      if (closing_) return WaitResult::Failed;
      events = got & mask;
      // A wait that ends without an event was ended by a change of the mask.
      return events ? WaitResult::Event : WaitResult::TimedOut;
    }
  }

  void CancelWait() override { SetEvent(waitCancel_); }

  long Read(void* buf, std::size_t n) override {
    Guard g(this);
    if (!g.ok) return -kErrInvalidHandle;
    if (n == 0) return 0;
    OverlappedOp op;
    if (!op.ok()) return -static_cast<long>(GetLastError());
    DWORD got = 0;
    DWORD want = static_cast<DWORD>(n > 0x7fffffff ? 0x7fffffff : n);
    // The time-outs set at opening make a read return at once with what waits.
    if (!ReadFile(h_, buf, want, &got, &op.ov)) {
      DWORD e = GetLastError();
      if (e != ERROR_IO_PENDING) return Lost(e);
      if (!GetOverlappedResult(h_, &op.ov, &got, TRUE)) return Lost(GetLastError());
    }
    return static_cast<long>(got);
  }

  long Write(const void* buf, std::size_t n, bool& cancelled) override {
    cancelled = false;
    Guard g(this);
    if (!g.ok) return -kErrInvalidHandle;
    const char* p = static_cast<const char*>(buf);
    std::size_t done = 0;
    while (done < n) {
      if (WaitForSingleObject(writeCancel_, 0) == WAIT_OBJECT_0) {
        cancelled = !closing_;
        return closing_ && done == 0 ? -kErrInvalidHandle : static_cast<long>(done);
      }
      OverlappedOp op;
      if (!op.ok()) return done ? static_cast<long>(done) : -static_cast<long>(GetLastError());
      DWORD chunk = static_cast<DWORD>(n - done > 0x10000 ? 0x10000 : n - done);
      DWORD wrote = 0;
      if (!WriteFile(h_, p + done, chunk, &wrote, &op.ov)) {
        DWORD e = GetLastError();
        if (e != ERROR_IO_PENDING) return done ? static_cast<long>(done) : Lost(e);
        HANDLE handles[2] = {op.ov.hEvent, writeCancel_};
        DWORD w = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        if (w != WAIT_OBJECT_0) CancelIoEx(h_, &op.ov);
        // What went out before a cancel still counts.
        bool completed = GetOverlappedResult(h_, &op.ov, &wrote, TRUE);
        done += wrote;
        if (w != WAIT_OBJECT_0) {
          if (closing_) return done ? static_cast<long>(done) : -kErrInvalidHandle;
          cancelled = true;
          return static_cast<long>(done);
        }
        if (!completed) return done ? static_cast<long>(done) : Lost(GetLastError());
        continue;
      }
      done += wrote;
    }
    return static_cast<long>(done);
  }

  void CancelWrite() override { SetEvent(writeCancel_); }

 private:
  // Holds the device open for the length of one call.
  struct Guard {
    explicit Guard(Win32CommDevice* d) : lock(d->mutex_) {
      ok = !d->closing_ && d->h_ != INVALID_HANDLE_VALUE;
    }
    std::shared_lock<std::shared_mutex> lock;
    bool ok;
  };

  // Whether a wait that failed with this error was the device refusing to
  // watch some of the events asked for; those are left out from then on.
  bool Refuse(DWORD e, uint32_t wanted) {
    if (e != ERROR_NOT_SUPPORTED && e != ERROR_INVALID_PARAMETER && e != ERROR_OPERATION_ABORTED)
      return false;
    for (uint32_t group : {kModemLineEvents, kLineEvents}) {
      if (wanted & group) {
        refused_ |= group;
        return true;
      }
    }
    // Not even received bytes can be waited for (Wine ends every wait at
    // once on a port without modem lines): the queue is looked at instead.
    if (wanted & EV_RXCHAR) pollOnly_ = true;
    return false;
  }

  // The wait of a device that cannot wait for received bytes: looks at the
  // receive queue every few milliseconds until bytes come, the time is up or
  // a cancel comes.
  WaitResult PollForBytes(uint32_t mask, uint32_t& events, int timeoutMs) {
    if (!(mask & EV_RXCHAR)) {
      DWORD w = WaitForSingleObject(waitCancel_,
                                    timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
      return w == WAIT_OBJECT_0 ? Cancelled() : WaitResult::TimedOut;
    }
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    for (;;) {
      DWORD errors = 0;
      COMSTAT cs{};
      if (!ClearCommError(h_, &errors, &cs)) return Gone();
      lineErrors_ |= errors & 0x1F;
      if (cs.cbInQue > 0) {
        events = EV_RXCHAR;
        return WaitResult::Event;
      }
      if (timeoutMs >= 0 && GetTickCount64() >= deadline) return WaitResult::TimedOut;
      if (WaitForSingleObject(waitCancel_, kPollMs) == WAIT_OBJECT_0) return Cancelled();
    }
  }

  WaitResult Cancelled() { return closing_ ? WaitResult::Failed : WaitResult::Cancelled; }

  // The device went away (unplugged): waiting again would not block.
  WaitResult Gone() {
    failed_ = true;
    return WaitResult::Failed;
  }
  long Lost(DWORD e) {
    if (e != ERROR_OPERATION_ABORTED) failed_ = true;
    return -static_cast<long>(e ? e : static_cast<DWORD>(kErrGenFailure));
  }

  HANDLE h_;
  HANDLE claim_;        // this opener's claim on the port (see Open)
  HANDLE waitCancel_;   // auto-reset: one cancel ends one wait
  HANDLE writeCancel_;  // auto-reset: one cancel ends one write
  std::shared_mutex mutex_;
  std::atomic<bool> closing_{false};
  std::atomic<bool> failed_{false};
  std::atomic<uint32_t> lineErrors_{0};  // seen by a wait, not yet reported
  // Waits come from one thread: the mask set on the device, and the events
  // it has refused to wait for.
  uint32_t mask_ = 0;
  uint32_t refused_ = 0;
  bool pollOnly_ = false;
};

}  // namespace

std::unique_ptr<CommDevice> CommDevice::Open(const std::string& name, int& error) {
  error = 0;
  // A port registered by number leads where it was registered; any other
  // "COMn" is the system's own device of that name.
  std::string device;
  if (auto path = PortNamespace::Resolve(name); path && !path->empty())
    device = *path;
  else if (int n = PortNamespace::PortNumber(name); n > 0)
    device = "\\\\.\\COM" + std::to_string(n);
  else {
    error = kErrFileNotFound;
    return nullptr;
  }
  HANDLE h = CreateFileW(win32::Widen(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    // Windows refuses a port that another program has open with "access
    // denied": on a serial port that means busy, not a lack of permission.
    error = e == ERROR_ACCESS_DENIED ? kErrSharingViolation : static_cast<int>(e);
    return nullptr;
  }
  HANDLE claim = nullptr;
  auto fail = [&](DWORD e) {
    CloseHandle(h);
    if (claim) CloseHandle(claim);
    error = static_cast<int>(e ? e : static_cast<DWORD>(kErrGenFailure));
    return nullptr;
  };
  // Windows keeps a port to one opener; Wine lets a second one in where the
  // port is a pseudo-terminal. A named object per port, held while the port
  // is open, keeps the port to one opener on both.
  std::wstring claimName = L"dorv-comm-port-";
  for (wchar_t c : win32::Widen(device))
    claimName += c == L'\\' ? L'_' : static_cast<wchar_t>(std::towupper(c));
  claim = CreateEventW(nullptr, TRUE, FALSE, claimName.c_str());
  if (!claim) return fail(GetLastError());
  if (GetLastError() == ERROR_ALREADY_EXISTS) return fail(kErrSharingViolation);
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (GetFileType(h) != FILE_TYPE_CHAR || !GetCommState(h, &dcb))
    return fail(ERROR_FILE_NOT_FOUND);  // not a serial device
  // Reads return at once with what has arrived; writes wait as long as they
  // need (a cancel ends them).
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  if (!SetCommTimeouts(h, &timeouts)) return fail(GetLastError());
  // A port starts with an empty receive queue: bytes from before this opener
  // belong to an exchange that is over.
  PurgeComm(h, PURGE_RXCLEAR | PURGE_RXABORT);
  HANDLE waitCancel = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HANDLE writeCancel = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!waitCancel || !writeCancel) {
    DWORD e = GetLastError();
    if (waitCancel) CloseHandle(waitCancel);
    if (writeCancel) CloseHandle(writeCancel);
    return fail(e);
  }
  return std::make_unique<Win32CommDevice>(h, claim, waitCancel, writeCancel);
}

}  // namespace dorv::platform
