// Communications devices on POSIX systems: termios serial devices and
// pseudo-terminals, waited on with poll() and an eventfd to cancel waits.
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <shared_mutex>

#include "platform/comm_device.h"
#include "platform/port_namespace.h"

namespace dorv::platform {

int CommErrorFromSystem(int e) {
  switch (e) {
    case 0:
      return kErrNone;
    case ENOENT:
    case ENXIO:
    case ENODEV:
      return kErrFileNotFound;
    case ENOTDIR:
      return kErrPathNotFound;
    case EMFILE:
    case ENFILE:
      return kErrTooManyOpenFiles;
    case EACCES:
    case EPERM:
      return kErrAccessDenied;
    case EBUSY:
    case EWOULDBLOCK:
      return kErrSharingViolation;
    case EBADF:
      return kErrInvalidHandle;
    case ENOMEM:
      return kErrNotEnoughMemory;
    case EROFS:
      return kErrWriteProtect;
    case EINVAL:
      return kErrInvalidParameter;
    case ENOSPC:
      return kErrDiskFull;
    case ETIMEDOUT:
      return kErrSemTimeout;
    case ENOTTY:
    case ENOSYS:
      return kErrInvalidFunction;
    default:
      return kErrGenFailure;
  }
}

std::string OpenFailureHint(int commError) {
  switch (commError) {
    case kErrSharingViolation:
      return "別のプログラムがこのポートを使っています。そのプログラムを閉じてください";
    case kErrAccessDenied:
      return "このデバイスを使う権限がありません。ロガーの udev 規則をインストールするか "
             "(パッケージに含まれます)、ユーザーを dialout グループに加えて "
             "(sudo usermod -aG dialout $USER) ログインし直してください";
    default:
      return "";
  }
}

std::string SystemErrorText(int commError) {
  int e = 0;
  switch (commError) {
    case kErrInvalidFunction:
      e = ENOTTY;
      break;
    case kErrFileNotFound:
      e = ENOENT;
      break;
    case kErrPathNotFound:
      e = ENOTDIR;
      break;
    case kErrTooManyOpenFiles:
      e = EMFILE;
      break;
    case kErrAccessDenied:
      e = EACCES;
      break;
    case kErrSharingViolation:
      e = EBUSY;
      break;
    case kErrInvalidHandle:
      e = EBADF;
      break;
    case kErrNotEnoughMemory:
      e = ENOMEM;
      break;
    case kErrWriteProtect:
      e = EROFS;
      break;
    case kErrGenFailure:
      e = EIO;
      break;
    case kErrInvalidParameter:
      e = EINVAL;
      break;
    case kErrDiskFull:
      e = ENOSPC;
      break;
    case kErrSemTimeout:
      e = ETIMEDOUT;
      break;
    default:
      return "";
  }
  char buf[256];
  return strerror_r(e, buf, sizeof buf);
}

namespace {

struct Speed {
  uint32_t baud;
  speed_t code;
};
const Speed kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},        {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},        {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},      {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400},  {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}};

// Control-line requests a pseudo-terminal or a simple driver refuses.
bool Refused(int e) {
  return e == EINVAL || e == ENOTTY || e == ENOSYS || e == EIO || e == 515 /* ENOIOCTLCMD */;
}

class PosixCommDevice : public CommDevice {
 public:
  PosixCommDevice(int fd, int waitCancel, int writeCancel, const termios& found)
      : fd_(fd), waitCancel_(waitCancel), writeCancel_(writeCancel), found_(found) {}

  ~PosixCommDevice() override {
    Close();
    ::close(waitCancel_);
    ::close(writeCancel_);
  }

  void Close() override {
    closing_ = true;
    Signal(waitCancel_);
    Signal(writeCancel_);
    std::unique_lock<std::shared_mutex> lock(mutex_);
    if (fd_ < 0) return;
    // The device is left with the settings it had when it was opened (a
    // terminal must not stay raw at the logger's speed).
    tcsetattr(fd_, TCSANOW, &found_);
    ioctl(fd_, TIOCNXCL);
    ::close(fd_);  // also releases the flock
    fd_ = -1;
  }

  bool IsOpen() const override { return !closing_; }

  int SetupQueues(uint32_t, uint32_t) override {
    // The tty layer's queues have a fixed size.
    Guard g(this);
    return g.ok ? 0 : kErrInvalidHandle;
  }

  int GetState(TDcb& dcb) override {
    Guard g(this);
    if (!g.ok) return kErrInvalidHandle;
    termios t{};
    if (tcgetattr(fd_, &t) != 0) return CommErrorFromSystem(errno);
    std::lock_guard<std::mutex> lock(dcbMutex_);
    dcb = dcb_;
    speed_t sp = cfgetospeed(&t);
    for (auto& s : kSpeeds)
      if (s.code == sp) dcb.BaudRate = s.baud;
    switch (t.c_cflag & CSIZE) {
      case CS5:
        dcb.ByteSize = 5;
        break;
      case CS6:
        dcb.ByteSize = 6;
        break;
      case CS7:
        dcb.ByteSize = 7;
        break;
      default:
        dcb.ByteSize = 8;
    }
    if (!(t.c_cflag & PARENB))
      dcb.Parity = TDcb::kNoParity;
    else if (t.c_cflag & CMSPAR)
      dcb.Parity = (t.c_cflag & PARODD) ? TDcb::kMarkParity : TDcb::kSpaceParity;
    else
      dcb.Parity = (t.c_cflag & PARODD) ? TDcb::kOddParity : TDcb::kEvenParity;
    if (!(t.c_cflag & CSTOPB))
      dcb.StopBits = TDcb::kOneStopBit;
    else
      dcb.StopBits = dcb.ByteSize == 5 ? TDcb::kOne5StopBits : TDcb::kTwoStopBits;
    dcb.fOutxCtsFlow = (t.c_cflag & CRTSCTS) != 0;
    dcb.fOutX = (t.c_iflag & IXON) != 0;
    dcb.fInX = (t.c_iflag & IXOFF) != 0;
    dcb.XonChar = static_cast<char>(t.c_cc[VSTART]);
    dcb.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
    return 0;
  }

  int SetState(const TDcb& dcb) override {
    Guard g(this);
    if (!g.ok) return kErrInvalidHandle;
    termios t{};
    if (tcgetattr(fd_, &t) != 0) return CommErrorFromSystem(errno);
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    switch (dcb.ByteSize) {
      case 5:
        t.c_cflag |= CS5;
        break;
      case 6:
        t.c_cflag |= CS6;
        break;
      case 7:
        t.c_cflag |= CS7;
        break;
      case 8:
        t.c_cflag |= CS8;
        break;
      default:
        return kErrInvalidParameter;
    }
    switch (dcb.Parity) {
      case TDcb::kNoParity:
        break;
      case TDcb::kOddParity:
        t.c_cflag |= PARENB | PARODD;
        break;
      case TDcb::kEvenParity:
        t.c_cflag |= PARENB;
        break;
      case TDcb::kMarkParity:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
      case TDcb::kSpaceParity:
        t.c_cflag |= PARENB | CMSPAR;
        break;
      default:
        return kErrInvalidParameter;
    }
    if (dcb.fParity) t.c_iflag |= INPCK;
    if (dcb.StopBits != TDcb::kOneStopBit) t.c_cflag |= CSTOPB;
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == TDcb::kRtsHandshake) t.c_cflag |= CRTSCTS;
    if (dcb.fOutX) t.c_iflag |= IXON;
    if (dcb.fInX) t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    const Speed* speed = nullptr;
    for (auto& s : kSpeeds)
      if (s.baud == dcb.BaudRate) speed = &s;
    if (!speed) return kErrInvalidParameter;
    cfsetispeed(&t, speed->code);
    cfsetospeed(&t, speed->code);
    if (tcsetattr(fd_, TCSANOW, &t) != 0) return CommErrorFromSystem(errno);
    std::lock_guard<std::mutex> lock(dcbMutex_);
    dcb_ = dcb;
    return 0;
  }

  int Escape(int function) override {
    Guard g(this);
    if (!g.ok) return kErrInvalidHandle;
    int bits = 0;
    int rc = 0;
    switch (function) {
      case SETDTR:
        bits = TIOCM_DTR;
        rc = ioctl(fd_, TIOCMBIS, &bits);
        break;
      case CLRDTR:
        bits = TIOCM_DTR;
        rc = ioctl(fd_, TIOCMBIC, &bits);
        break;
      case SETRTS:
        bits = TIOCM_RTS;
        rc = ioctl(fd_, TIOCMBIS, &bits);
        break;
      case CLRRTS:
        bits = TIOCM_RTS;
        rc = ioctl(fd_, TIOCMBIC, &bits);
        break;
      case SETBREAK:
        rc = ioctl(fd_, TIOCSBRK);
        break;
      case CLRBREAK:
        rc = ioctl(fd_, TIOCCBRK);
        break;
      case SETXOFF:
        rc = tcflow(fd_, TCOOFF);
        break;
      case SETXON:
        rc = tcflow(fd_, TCOON);
        break;
      default:
        return kErrInvalidParameter;
    }
    if (rc != 0 && !Refused(errno)) return CommErrorFromSystem(errno);
    return 0;
  }

  int ModemStatus(uint32_t& status) override {
    Guard g(this);
    status = 0;
    if (!g.ok) return kErrInvalidHandle;
    int bits = 0;
    if (ioctl(fd_, TIOCMGET, &bits) != 0) return 0;  // no modem lines (pseudo-terminal)
    if (bits & TIOCM_CTS) status |= MS_CTS_ON;
    if (bits & TIOCM_DSR) status |= MS_DSR_ON;
    if (bits & TIOCM_RNG) status |= MS_RING_ON;
    if (bits & TIOCM_CAR) status |= MS_RLSD_ON;
    return 0;
  }

  uint32_t ClearError(TComStat& stat, bool outCount = true) override {
    Guard g(this);
    stat = {};
    if (!g.ok) return 0;
    int n = 0;
    if (ioctl(fd_, FIONREAD, &n) == 0 && n > 0) stat.cbInQue = static_cast<uint32_t>(n);
    n = 0;
    if (outCount && ioctl(fd_, TIOCOUTQ, &n) == 0 && n > 0)
      stat.cbOutQue = static_cast<uint32_t>(n);
    return LineErrors();
  }

  int Purge(uint32_t flags) override {
    if (flags & PURGE_TXABORT) CancelWrite();
    Guard g(this);
    if (!g.ok) return kErrInvalidHandle;
    int rc = 0;
    if (flags & (PURGE_TXABORT | PURGE_TXCLEAR)) rc |= tcflush(fd_, TCOFLUSH);
    if (flags & (PURGE_RXABORT | PURGE_RXCLEAR)) rc |= tcflush(fd_, TCIFLUSH);
    if (rc != 0 && errno != EIO) return CommErrorFromSystem(errno);
    return 0;
  }

  WaitResult WaitEvent(uint32_t mask, uint32_t& events, int timeoutMs) override {
    events = 0;
    Guard g(this);
    if (!g.ok || hungUp_) return WaitResult::Failed;
    pollfd fds[2] = {{fd_, static_cast<short>((mask & EV_RXCHAR) ? POLLIN : 0), 0},
                     {waitCancel_, POLLIN, 0}};
    int rc;
    do {
      rc = poll(fds, 2, timeoutMs);
    } while (rc < 0 && errno == EINTR);
    if (rc < 0) return WaitResult::Failed;
    if (closing_) return WaitResult::Failed;
    if (fds[1].revents & POLLIN) {
      Drain(waitCancel_);
      return WaitResult::Cancelled;
    }
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      hungUp_ = true;
      return WaitResult::Failed;
    }
    if (rc == 0) return WaitResult::TimedOut;
    if (fds[0].revents & POLLIN) events |= EV_RXCHAR;
    return WaitResult::Event;
  }

  void CancelWait() override { Signal(waitCancel_); }

  long Read(void* buf, std::size_t n) override {
    Guard g(this);
    if (!g.ok) return -kErrInvalidHandle;
    for (;;) {
      ssize_t r = ::read(fd_, buf, n);
      if (r > 0) return r;
      if (r == 0) {
        // A tty that reads end-of-file has been hung up.
        if (n > 0) hungUp_ = true;
        return 0;
      }
      if (errno == EINTR) continue;
      if (errno == EAGAIN) return 0;
      if (errno == EIO) hungUp_ = true;
      return -CommErrorFromSystem(errno);
    }
  }

  long Write(const void* buf, std::size_t n, bool& cancelled) override {
    cancelled = false;
    Guard g(this);
    if (!g.ok) return -kErrInvalidHandle;
    const char* p = static_cast<const char*>(buf);
    std::size_t done = 0;
    while (done < n) {
      ssize_t r = ::write(fd_, p + done, n - done);
      if (r > 0) {
        done += static_cast<std::size_t>(r);
        continue;
      }
      if (r < 0 && errno == EINTR) continue;
      if (r < 0 && errno != EAGAIN) {
        if (errno == EIO) hungUp_ = true;
        return done ? static_cast<long>(done) : -CommErrorFromSystem(errno);
      }
      pollfd fds[2] = {{fd_, POLLOUT, 0}, {writeCancel_, POLLIN, 0}};
      int rc = poll(fds, 2, -1);
      if (rc < 0 && errno == EINTR) continue;
      if (rc < 0 || closing_) return done ? static_cast<long>(done) : -kErrInvalidHandle;
      if (fds[1].revents & POLLIN) {
        Drain(writeCancel_);
        cancelled = true;
        return static_cast<long>(done);
      }
      if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
        hungUp_ = true;
        return done ? static_cast<long>(done) : -kErrGenFailure;
      }
    }
    return static_cast<long>(done);
  }

  void CancelWrite() override { Signal(writeCancel_); }

 private:
  // Holds the device open for the length of one call.
  struct Guard {
    explicit Guard(PosixCommDevice* d) : lock(d->mutex_) { ok = !d->closing_ && d->fd_ >= 0; }
    std::shared_lock<std::shared_mutex> lock;
    bool ok;
  };

  static void Signal(int efd) {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t r = ::write(efd, &one, sizeof one);
  }
  static void Drain(int efd) {
    uint64_t v;
    [[maybe_unused]] ssize_t r = ::read(efd, &v, sizeof v);
  }

  // Line errors counted by the driver since the last call (real UARTs only).
  uint32_t LineErrors() {
    if (!icountSupported_) return 0;
    serial_icounter_struct ic{};
    if (ioctl(fd_, TIOCGICOUNT, &ic) != 0) {
      icountSupported_ = false;
      return 0;
    }
    std::lock_guard<std::mutex> lock(dcbMutex_);
    uint32_t bits = 0;
    if (ic.buf_overrun != lastCount_.buf_overrun) bits |= 0x01;
    if (ic.overrun != lastCount_.overrun) bits |= 0x02;
    if (ic.parity != lastCount_.parity) bits |= 0x04;
    if (ic.frame != lastCount_.frame) bits |= 0x08;
    if (ic.brk != lastCount_.brk) bits |= 0x10;
    bool first = !haveCount_;
    lastCount_ = ic;
    haveCount_ = true;
    return first ? 0 : bits;
  }

  int fd_;
  int waitCancel_;
  int writeCancel_;
  const termios found_;  // the settings at opening, restored at closing
  std::shared_mutex mutex_;
  std::atomic<bool> closing_{false};
  std::atomic<bool> hungUp_{false};
  std::atomic<bool> icountSupported_{true};
  std::mutex dcbMutex_;
  TDcb dcb_;
  serial_icounter_struct lastCount_{};
  bool haveCount_ = false;
};

}  // namespace

std::unique_ptr<CommDevice> CommDevice::Open(const std::string& name, int& error) {
  error = 0;
  auto path = PortNamespace::Resolve(name);
  if (!path) {
    error = kErrFileNotFound;
    return nullptr;
  }
  int fd = ::open(path->c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = CommErrorFromSystem(errno);
    return nullptr;
  }
  auto fail = [&](int err) {
    ::close(fd);
    error = err;
    return nullptr;
  };
  termios t{};
  if (tcgetattr(fd, &t) != 0) return fail(kErrFileNotFound);  // not a serial device
  // Exclusive use: the lock keeps out every other opener (TIOCEXCL does not
  // stop a privileged one).
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(CommErrorFromSystem(errno));
  // Everything that can fail comes before the settings change, which the
  // closing undoes.
  int waitCancel = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (waitCancel < 0) return fail(CommErrorFromSystem(errno));
  int writeCancel = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (writeCancel < 0) {
    ::close(waitCancel);
    return fail(CommErrorFromSystem(errno));
  }
  ioctl(fd, TIOCEXCL);
  const termios found = t;
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  tcsetattr(fd, TCSANOW, &t);
  // A port starts with an empty receive queue, as a freshly opened Windows
  // port does: bytes that reached the device while no one had it open (the
  // end of an answer the previous exchange no longer waited for) are old.
  tcflush(fd, TCIFLUSH);
  // USB serial converters otherwise hold received bytes for their latency
  // timer (16 ms on FTDI parts) before passing them on.
  struct stat st {};
  bool pty = fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 &&
             major(st.st_rdev) <= 143;
  if (!pty) {
    serial_struct ss{};
    if (ioctl(fd, TIOCGSERIAL, &ss) == 0) {
      ss.flags |= ASYNC_LOW_LATENCY;
      ioctl(fd, TIOCSSERIAL, &ss);
    }
  }
  return std::make_unique<PosixCommDevice>(fd, waitCancel, writeCancel, found);
}

}  // namespace dorv::platform
