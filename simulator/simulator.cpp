#include "simulator/simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

#include "platform/runtime_dir.h"

namespace dorv::sim {

namespace {

using namespace std::chrono_literals;

constexpr auto kAckTimeout = 2s;       // an ENQ not answered by then abandons the reply
constexpr auto kRestartPause = 300ms;  // the loader's restart after "qs"
constexpr auto kBurstPeriod = 5ms;     // 200 rows per second
constexpr auto kBurstSlack = 100ms;    // a burst further behind than this does not catch up
constexpr auto kNoClientPoll = 20ms;   // how often the line is checked while nobody listens
constexpr size_t kBurstBacklog = 64;   // rows wait while this much output is pending
constexpr auto kUnplugSettle = 50ms;   // before the reader's queue is looked at
constexpr auto kUnplugDrain = 2s;      // longest wait for the reader before the line is cut

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

std::map<std::string, std::string> ReadKeyValues(const std::string& path) {
  // A registration is a short regular file: anything else there (a FIFO, a
  // link to a device) is read as no registration, without waiting on it.
  std::map<std::string, std::string> kv;
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return kv;
  struct stat st {};
  std::string text;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    char buf[4096];
    ssize_t n;
    while (text.size() < sizeof buf && (n = read(fd, buf, sizeof buf - text.size())) > 0)
      text.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    size_t eq = line.find('=');
    if (eq != std::string::npos) kv[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return kv;
}

bool ProcessAlive(const std::string& pid_text) {
  char* end = nullptr;
  long pid = std::strtol(pid_text.c_str(), &end, 10);
  if (pid <= 0 || *end != '\0') return false;
  return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

CommandRecognizer::Duration ArgumentGap(int baud) {
  // At least four character times of the line, so a paced command is not cut.
  auto gap = CommandRecognizer::kDefaultGap;
  if (baud > 0) {
    auto four_chars = std::chrono::milliseconds(40000 / baud + 1);
    gap = std::max(gap, four_chars);
  }
  return gap;
}

}  // namespace

std::string UsbIdentity(bool ftdi, const std::string& serial) {
  std::string number = !serial.empty() ? serial : ftdi ? "FTDI0001" : "DORV0001";
  return "VID_0403+PID_6001+" + number + "A";
}

size_t Simulator::Bucket::Allowance(std::chrono::steady_clock::time_point now) {
  if (rate <= 0) return SIZE_MAX;
  // Up to 10 ms of line time may be saved up, at least one character.
  const double cap = std::max(1.0, rate / 100.0);
  tokens = std::min(cap, tokens + rate * std::chrono::duration<double>(now - last).count());
  last = now;
  return tokens >= 1.0 ? static_cast<size_t>(tokens) : 0;
}

std::chrono::steady_clock::duration Simulator::Bucket::UntilNext() const {
  using Steady = std::chrono::steady_clock;
  if (rate <= 0 || tokens >= 1.0) return Steady::duration::zero();
  return std::chrono::duration_cast<Steady::duration>(
      std::chrono::duration<double>((1.0 - tokens) / rate));
}

void Simulator::OutQueue::Consume(size_t n) {
  head_ += n;
  if (head_ == buf_.size()) {
    clear();
  } else if (head_ > 65536 && head_ > buf_.size() / 2) {
    buf_.erase(0, head_);
    head_ = 0;
  }
}

Simulator::Simulator(Options options)
    : opt_(std::move(options)),
      logger_(opt_.record_list ? *opt_.record_list
                               : GenerateRecording(opt_.records, opt_.seed, opt_.faults.irregular),
              opt_.seed, opt_.faults),
      recognizer_(ArgumentGap(opt_.pace_baud)),
      garbage_rng_(opt_.seed + 17) {
  in_bucket_.rate = out_bucket_.rate = opt_.pace_baud / 10.0;
  in_bucket_.last = out_bucket_.last = Steady::now();
}

Simulator::~Simulator() {
  Unregister();
  if (master_ >= 0) close(master_);
  for (int fd : wake_)
    if (fd >= 0) close(fd);
  if (transcript_) std::fclose(transcript_);
}

void Simulator::Open() {
  if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) Fail("pipe");
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) Fail("posix_openpt");
  if (grantpt(master_) != 0 || unlockpt(master_) != 0) Fail("unlockpt");
  char name[128];
  if (ptsname_r(master_, name, sizeof name) != 0) Fail("ptsname");
  device_ = name;
  // Raw mode on the slave side: no echo, no line editing, no CR/LF changes.
  // The setting stays with the pseudo-terminal while nobody holds it open.
  int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0) Fail("open " + device_);
  termios tio{};
  if (tcgetattr(slave, &tio) == 0) {
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    tcsetattr(slave, TCSANOW, &tio);
  }
  close(slave);
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  if (!opt_.transcript.empty()) {
    transcript_ = std::fopen(opt_.transcript.c_str(), "w");
    if (!transcript_) Fail("open " + opt_.transcript);
  }
  Register();
}

void Simulator::Register() {
  const std::string dir = platform::RuntimeDir() + "/ports";
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) Fail("mkdir " + dir);
  const std::string name = "COM" + std::to_string(opt_.com);
  registration_ = dir + "/" + name;
  auto old = ReadKeyValues(registration_);
  if (old.count("device") && access(old["device"].c_str(), F_OK) == 0 && ProcessAlive(old["pid"]))
    throw std::runtime_error(name + " is registered by the live process " + old["pid"]);
  const std::string tmp = dir + "/." + name + "." + std::to_string(getpid()) + ".tmp";
  {
    std::ofstream f(tmp, std::ios::trunc);
    f << "device=" << device_ << "\n"
      << "usb=" << UsbIdentity(opt_.ftdi_identity, opt_.serial) << "\n"
      << "pid=" << getpid() << "\n";
    if (!f.flush()) Fail("write " + tmp);
  }
  if (rename(tmp.c_str(), registration_.c_str()) != 0) {
    unlink(tmp.c_str());
    Fail("rename " + tmp);
  }
  registered_ = true;
}

void Simulator::Unregister() {
  if (!registered_) return;
  registered_ = false;
  // Only our own registration goes; another simulator may have taken the
  // number after we were unplugged.
  if (ReadKeyValues(registration_)["device"] == device_) unlink(registration_.c_str());
}

void Simulator::RequestStop() {
  if (wake_[1] >= 0) {
    ssize_t r = write(wake_[1], "s", 1);
    (void)r;
  }
}

void Simulator::Transcribe(std::string_view bytes) {
  if (!transcript_) return;
  std::string line = EscapeBytes(bytes) + "\n";
  std::fwrite(line.data(), 1, line.size(), transcript_);
  std::fflush(transcript_);
}

void Simulator::Accept(Command cmd) {
  Transcribe(cmd.text);
  queue_.push_back(std::move(cmd));
}

void Simulator::TakeByte(char c, Steady::time_point now) {
  // The answer to an ENQ is taken out of the stream before command
  // recognition, wherever it falls.
  if (busy_ == Busy::kWaitAck && c == '\x06' && !recognizer_.InControlSequence()) {
    Transcribe(std::string_view(&c, 1));
    out_ += held_;
    held_.clear();
    busy_ = Busy::kIdle;
    Continue(held_next_, now);
    return;
  }
  for (Command& cmd : recognizer_.Feed(c)) Accept(std::move(cmd));
}

void Simulator::ProbeLine(bool& readable) {
  readable = false;
  if (unplugged_) {
    client_ = false;
    return;
  }
  pollfd p{master_, POLLIN, 0};
  poll(&p, 1, 0);
  // The master reports a hang-up while nobody has the slave side open.
  client_ = !(p.revents & POLLHUP);
  readable = (p.revents & POLLIN) != 0;
  if (!client_) {
    // Like a closed COM port: what the logger sends meanwhile is lost.
    out_.clear();
    if (busy_ == Busy::kWaitAck) {
      held_.clear();
      busy_ = Busy::kIdle;
      ++missed_acks_;
    }
  }
}

void Simulator::ReadInput(Steady::time_point now) {
  // Bytes written just before the far end closed the line are still read:
  // a logger has them as soon as they are on the wire, and its answer is
  // lost with the closed port rather than kept for whoever opens it next.
  if (unplugged_) return;
  size_t allowance = in_bucket_.Allowance(now);
  if (allowance == 0) return;
  char buf[512];
  ssize_t n = read(master_, buf, std::min(allowance, sizeof buf));
  if (n <= 0) return;
  in_bucket_.Take(static_cast<size_t>(n));
  for (ssize_t i = 0; i < n; ++i) TakeByte(buf[i], now);
  last_input_ = now;
}

bool Simulator::NoPrompt(const Command& cmd) const {
  const auto& list = opt_.faults.no_prompt;
  return std::find(list.begin(), list.end(), cmd.name) != list.end() ||
         std::find(list.begin(), list.end(), cmd.text) != list.end();
}

void Simulator::Continue(Reply::Next next, Steady::time_point now) {
  switch (next) {
    case Reply::Next::kNone:
      break;
    case Reply::Next::kBurst:
      busy_ = Busy::kBurst;
      burst_index_ = 0;
      burst_due_ = now;
      break;
    case Reply::Next::kRestart:
      busy_ = Busy::kRestart;
      restart_at_ = now + kRestartPause;
      break;
  }
}

void Simulator::RunCommand(const Command& cmd, Steady::time_point now) {
  Reply r = logger_.Handle(cmd, std::chrono::system_clock::now());
  std::string body;
  for (size_t i = 0; i < r.lines.size(); ++i) {
    if (opt_.faults.garbage && i > 0) {
      static constexpr char kStray[] = {'\r', '!', '?'};
      for (int k = garbage_rng_.Range(1, 3); k > 0; --k) body += kStray[garbage_rng_.Range(0, 2)];
    }
    body += r.lines[i];
    body += "\r\n";
  }
  body += r.tail;
  const bool download = cmd.name == "D" || cmd.name == "C" || cmd.name == "G";
  if (download && opt_.faults.flood > 0) {
    // Not the protocol: printable bytes without line ends, a stray prompt
    // among them now and then.
    body.clear();
    for (int64_t k = 0; k < opt_.faults.flood; ++k)
      body += k % 997 == 50 ? '#' : static_cast<char>('A' + garbage_rng_.Range(0, 25));
    out_ += body;
    return;
  }
  if (r.prompt && !NoPrompt(cmd)) body += '#';
  if (download && opt_.faults.trail > 0) {
    // After the closing prompt: lines that look like records.
    std::string junk;
    while (static_cast<int64_t>(junk.size()) < opt_.faults.trail)
      junk += "TRAILING JUNK " + std::to_string(junk.size()) + "\r\n";
    body += junk;
  }

  if (opt_.faults.enq && !r.lines.empty()) {
    // ENQ in the middle of the first line; the rest follows the ACK.
    const size_t cut = r.lines[0].size() / 2;
    out_ += body.substr(0, cut);
    out_ += '\x05';
    held_ = body.substr(cut);
    held_next_ = r.next;
    busy_ = Busy::kWaitAck;
    ack_clock_running_ = false;
    return;
  }
  out_ += body;
  Continue(r.next, now);
}

void Simulator::EndBurst() {
  // Any command ends a burst; a blank is used up by it, anything else is
  // carried out afterwards. The prompt closes the "x" exchange.
  const Command& next = queue_.front();
  Command x{"x", "x", false};
  if (!NoPrompt(x)) out_ += '#';
  if (next.name == " ") queue_.pop_front();
  busy_ = Busy::kIdle;
}

void Simulator::Execute(Steady::time_point now) {
  for (bool progress = true; progress;) {
    progress = false;
    switch (busy_) {
      case Busy::kIdle:
        if (!queue_.empty()) {
          Command cmd = std::move(queue_.front());
          queue_.pop_front();
          RunCommand(cmd, now);
          progress = true;
        }
        break;
      case Busy::kBurst:
        if (!queue_.empty()) {
          EndBurst();
          progress = true;
          break;
        }
        if (now - burst_due_ > kBurstSlack) burst_due_ = now;
        while (now >= burst_due_ && out_.size() < kBurstBacklog) {
          std::string row = logger_.BurstRow(burst_index_);
          const int k = opt_.faults.drop_burst_rows;
          if (k <= 0 || (burst_index_ + 1) % k != 0) out_ += row;
          ++burst_index_;
          burst_due_ += kBurstPeriod;
        }
        break;
      case Busy::kWaitAck:
        if (ack_clock_running_ && now >= ack_deadline_) {
          std::fprintf(stderr, "dorv-logger-sim: ENQ not acknowledged, reply abandoned\n");
          held_.clear();
          ++missed_acks_;
          busy_ = Busy::kIdle;
          progress = true;
        }
        break;
      case Busy::kRestart:
        if (now >= restart_at_) {
          out_ += logger_.RestartText();
          busy_ = Busy::kIdle;
          progress = true;
        }
        break;
    }
  }
}

void Simulator::Unplug() {
  // Bytes sent before the cut have reached the far end of a real cable; on a
  // pseudo-terminal, closing the master would throw away what the reader has
  // not taken yet. So wait (a little) until the reader has taken them.
  if (int probe = open(device_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); probe >= 0) {
    // Written bytes reach the reader's queue a moment later, so the count
    // is trusted only after a short settling time.
    const auto start = Steady::now();
    int waiting = 0;
    while (Steady::now() - start < kUnplugSettle ||
           (ioctl(probe, FIONREAD, &waiting) == 0 && waiting > 0 &&
            Steady::now() - start < kUnplugDrain))
      usleep(5000);
    close(probe);
  }
  // The registration goes first, so whoever sees the line die finds it gone.
  Unregister();
  close(master_);
  master_ = -1;
  unplugged_ = true;
  client_ = false;
  out_.clear();
  queue_.clear();
  busy_ = Busy::kIdle;
  std::fprintf(stderr, "dorv-logger-sim: unplugged after %lld bytes\n",
               static_cast<long long>(sent_));
}

void Simulator::WriteOutput(Steady::time_point now) {
  if (!client_ || out_.empty()) return;
  const int64_t limit = opt_.faults.unplug_after;
  if (limit >= 0 && sent_ >= limit) {
    Unplug();
    return;
  }
  size_t n = std::min(out_.size(), out_bucket_.Allowance(now));
  if (limit >= 0) n = std::min(n, static_cast<size_t>(limit - sent_));
  if (n == 0) return;
  ssize_t w = write(master_, out_.data(), n);
  if (w <= 0) return;
  out_.Consume(static_cast<size_t>(w));
  out_bucket_.Take(static_cast<size_t>(w));
  sent_ += w;
  if (limit >= 0 && sent_ >= limit && !out_.empty()) Unplug();
}

Simulator::Steady::duration Simulator::NextWake(Steady::time_point now) const {
  Steady::duration wait = 1s;
  auto until = [&](Steady::time_point t) {
    wait = std::min(wait, std::max(t - now, Steady::duration::zero()));
  };
  if (auto idle = recognizer_.IdleThreshold()) until(last_input_ + *idle);
  if (busy_ == Busy::kBurst) until(burst_due_);
  if (busy_ == Busy::kWaitAck && ack_clock_running_) until(ack_deadline_);
  if (busy_ == Busy::kRestart) until(restart_at_);
  if (client_ && !out_.empty()) wait = std::min(wait, out_bucket_.UntilNext());
  if (client_ && in_bucket_.rate > 0)
    wait = std::min(wait, std::max(in_bucket_.UntilNext(), Steady::duration(1ms)));
  if (!client_) wait = std::min<Steady::duration>(wait, kNoClientPoll);
  return wait;
}

void Simulator::Run() {
  for (;;) {
    char drain[16];
    if (read(wake_[0], drain, sizeof drain) > 0) break;

    auto now = Steady::now();
    bool readable = false;
    ProbeLine(readable);
    ReadInput(now);
    if (auto idle = recognizer_.IdleThreshold(); idle && !readable && now - last_input_ >= *idle) {
      if (auto cmd = recognizer_.Idle(
              std::chrono::duration_cast<CommandRecognizer::Duration>(now - last_input_)))
        Accept(std::move(*cmd));
    }
    Execute(now);
    if (!client_) out_.clear();
    WriteOutput(now);
    if (busy_ == Busy::kWaitAck && !ack_clock_running_ && out_.empty() && client_) {
      ack_clock_running_ = true;
      ack_deadline_ = now + kAckTimeout;
    }

    // Sleep until input, room for output, a deadline or a stop request.
    now = Steady::now();
    const auto wait = NextWake(now);
    pollfd fds[2] = {{wake_[0], POLLIN, 0}, {master_, 0, 0}};
    nfds_t count = 1;
    if (client_) {
      // An exhausted bucket paces the line; poll only for what may move now.
      if (in_bucket_.rate <= 0 || in_bucket_.tokens >= 1.0) fds[1].events |= POLLIN;
      if (!out_.empty() && (out_bucket_.rate <= 0 || out_bucket_.tokens >= 1.0))
        fds[1].events |= POLLOUT;
      count = 2;
    }
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
    timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    ppoll(fds, count, &ts, nullptr);
  }
  Unregister();
}

}  // namespace dorv::sim
