#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace dorv::platform {

// Error numbers of the communications device, in the numbering the serial
// layer expects (the Windows system error codes).
enum CommError : int {
  kErrNone = 0,
  kErrInvalidFunction = 1,
  kErrFileNotFound = 2,
  kErrPathNotFound = 3,
  kErrTooManyOpenFiles = 4,
  kErrAccessDenied = 5,
  kErrInvalidHandle = 6,
  kErrNotEnoughMemory = 8,
  kErrWriteProtect = 19,
  // The device is held by another program (a lock, an exclusive open). Kept
  // apart from kErrAccessDenied, which here means that the user has no
  // permission to use the device.
  kErrSharingViolation = 32,
  kErrGenFailure = 31,
  kErrDiskFull = 112,
  kErrInvalidParameter = 87,
  kErrSemTimeout = 121,
};

// The device error number for an error of the operating system (errno).
int CommErrorFromSystem(int systemError);
// What the user can do about a device that failed to open with this error
// number, in the user's words for this system ("" when there is nothing to
// add): who holds the port, how to get permission for it.
std::string OpenFailureHint(int commError);
// The operating system's own text for a device error number ("" when the
// system has none), as the system words it.
std::string SystemErrorText(int commError);

// Line settings of a device, with the fields of the Windows device control
// block that the serial layer uses.
struct TDcb {
  enum : uint8_t {
    kNoParity = 0,
    kOddParity = 1,
    kEvenParity = 2,
    kMarkParity = 3,
    kSpaceParity = 4
  };
  enum : uint8_t { kOneStopBit = 0, kOne5StopBits = 1, kTwoStopBits = 2 };
  enum : uint8_t { kDtrDisable = 0, kDtrEnable = 1, kDtrHandshake = 2 };
  enum : uint8_t { kRtsDisable = 0, kRtsEnable = 1, kRtsHandshake = 2, kRtsToggle = 3 };

  uint32_t BaudRate = 115200;
  bool fBinary = true;
  bool fParity = false;
  bool fOutxCtsFlow = false;
  bool fOutxDsrFlow = false;
  uint8_t fDtrControl = kDtrDisable;
  bool fDsrSensitivity = false;
  bool fTXContinueOnXoff = true;
  bool fOutX = false;
  bool fInX = false;
  bool fNull = false;
  uint8_t fRtsControl = kRtsDisable;
  uint16_t XonLim = 0;
  uint16_t XoffLim = 0;
  uint8_t ByteSize = 8;
  uint8_t Parity = kNoParity;
  uint8_t StopBits = kOneStopBit;
  char XonChar = 17;
  char XoffChar = 19;
};

// Receive and transmit queue counts (ClearCommError's COMSTAT).
struct TComStat {
  uint32_t cbInQue = 0;
  uint32_t cbOutQue = 0;
};

// Communications events (WaitCommEvent's mask bits).
enum : uint32_t {
  EV_RXCHAR = 0x0001,
  EV_RXFLAG = 0x0002,
  EV_TXEMPTY = 0x0004,
  EV_CTS = 0x0008,
  EV_DSR = 0x0010,
  EV_RLSD = 0x0020,
  EV_BREAK = 0x0040,
  EV_ERR = 0x0080,
  EV_RING = 0x0100,
};

// Modem status bits (GetCommModemStatus).
enum : uint32_t { MS_CTS_ON = 0x10, MS_DSR_ON = 0x20, MS_RING_ON = 0x40, MS_RLSD_ON = 0x80 };

// Escape functions (EscapeCommFunction).
enum : int {
  SETXOFF = 1,
  SETXON = 2,
  SETRTS = 3,
  CLRRTS = 4,
  SETDTR = 5,
  CLRDTR = 6,
  SETBREAK = 8,
  CLRBREAK = 9
};

// Purge flags (PurgeComm).
enum : uint32_t { PURGE_TXABORT = 1, PURGE_RXABORT = 2, PURGE_TXCLEAR = 4, PURGE_RXCLEAR = 8 };

// Result of a wait for communications events.
enum class WaitResult { Event, Cancelled, TimedOut, Failed };

// One open communications device. Every call may come from any thread; Close
// may run while another thread waits, reads or writes, and ends those calls.
class CommDevice {
 public:
  virtual ~CommDevice() = default;

  // Opens the device of the given name ("\\.\COM3" or a path), exclusively.
  // Null on failure with error set (kErrFileNotFound when there is no such
  // device, kErrSharingViolation when another opener holds it,
  // kErrAccessDenied without permission to use it, ...).
  static std::unique_ptr<CommDevice> Open(const std::string& name, int& error);

  // Closes the device at once; waits, reads and writes running now return.
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;

  // Driver queue sizes (advisory). 0 or an error number.
  virtual int SetupQueues(uint32_t inSize, uint32_t outSize) = 0;
  virtual int GetState(TDcb& dcb) = 0;
  virtual int SetState(const TDcb& dcb) = 0;
  // Control lines and break; lines a device cannot drive are ignored.
  virtual int Escape(int function) = 0;
  virtual int ModemStatus(uint32_t& status) = 0;
  // Line error bits since the last call (0x1F mask), and the queue counts;
  // the transmit count only when asked for.
  virtual uint32_t ClearError(TComStat& stat, bool outCount = true) = 0;
  // Discards queued data (PURGE_* flags); aborting a write ends CancelWrite.
  virtual int Purge(uint32_t flags) = 0;

  // Waits for one of the events in mask (EV_RXCHAR: received bytes wait to be
  // read) up to timeoutMs (-1 = no limit). Failed when the device went away
  // (hang-up, I/O error, closed): waiting again would not block.
  virtual WaitResult WaitEvent(uint32_t mask, uint32_t& events, int timeoutMs) = 0;
  // Makes a running (or the next) WaitEvent return Cancelled.
  virtual void CancelWait() = 0;

  // Reads what is waiting, without blocking. Bytes read, or -error.
  virtual long Read(void* buf, std::size_t n) = 0;
  // Writes all n bytes, waiting for room. Returns the bytes written, or
  // -error; fewer than n when CancelWrite ended it (cancelled then true).
  virtual long Write(const void* buf, std::size_t n, bool& cancelled) = 0;
  // Makes a running (or the next) Write return early.
  virtual void CancelWrite() = 0;
};

}  // namespace dorv::platform
