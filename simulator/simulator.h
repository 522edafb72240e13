#pragma once
#include <atomic>
#include <chrono>
#include <cstdio>
#include <deque>
#include <string>
#include <string_view>

#include "simulator/logger.h"
#include "simulator/options.h"
#include "simulator/recognizer.h"

namespace dorv::sim {

// The registration file of a simulated port: RuntimeDir()/ports/COM<n>,
// key=value lines
//   device=<path of the pseudo-terminal's slave side>
//   usb=VID_0403+PID_6001+DORV0001A   (FTDI0001A for a generic converter)
//   pid=<process id of the simulator>
// written to a temporary file and renamed into place.
std::string UsbIdentity(bool ftdi, const std::string& serial = {});

// A DORV logger on a pseudo-terminal: keeps the master side, serves the
// protocol there and registers the slave side as a serial port.
class Simulator {
 public:
  explicit Simulator(Options options);
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Opens the pseudo-terminal and writes the registration. Throws
  // std::runtime_error when either fails (for example when a live simulator
  // already holds the port number).
  void Open();
  const std::string& DevicePath() const { return device_; }
  const std::string& RegistrationPath() const { return registration_; }

  // Serves until RequestStop(), then removes the registration.
  void Run();
  // Safe to call from a signal handler or another thread.
  void RequestStop();

  // ENQs that went unanswered (the reply they were in was abandoned).
  int MissedAcks() const { return missed_acks_.load(); }

 private:
  using Steady = std::chrono::steady_clock;

  // Bytes per second allowed by a line of the given baud rate.
  struct Bucket {
    double rate = 0;  // 0: unlimited
    double tokens = 0;
    Steady::time_point last{};
    size_t Allowance(Steady::time_point now);
    void Take(size_t n) { tokens -= static_cast<double>(n); }
    Steady::duration UntilNext() const;
  };

  enum class Busy { kIdle, kWaitAck, kBurst, kRestart };

  // Bytes waiting for the line. A download can be megabytes, so sent bytes
  // are dropped from the front only now and then.
  class OutQueue {
   public:
    OutQueue& operator+=(std::string_view s) {
      buf_.append(s);
      return *this;
    }
    OutQueue& operator+=(char c) {
      buf_ += c;
      return *this;
    }
    size_t size() const { return buf_.size() - head_; }
    bool empty() const { return size() == 0; }
    const char* data() const { return buf_.data() + head_; }
    void Consume(size_t n);
    void clear() {
      buf_.clear();
      head_ = 0;
    }

   private:
    std::string buf_;
    size_t head_ = 0;
  };

  void Register();
  void Unregister();
  void ProbeLine(bool& readable);  // who listens, and whether input waits
  void ReadInput(Steady::time_point now);
  void TakeByte(char c, Steady::time_point now);
  void Accept(Command cmd);
  void Transcribe(std::string_view bytes);
  void Execute(Steady::time_point now);
  void RunCommand(const Command& cmd, Steady::time_point now);
  void Continue(Reply::Next next, Steady::time_point now);
  void EndBurst();
  bool NoPrompt(const Command& cmd) const;
  void WriteOutput(Steady::time_point now);
  void Unplug();
  Steady::duration NextWake(Steady::time_point now) const;

  Options opt_;
  Logger logger_;
  CommandRecognizer recognizer_;
  Rng garbage_rng_;
  std::string device_, registration_;
  int master_ = -1;
  int wake_[2] = {-1, -1};
  std::FILE* transcript_ = nullptr;
  bool registered_ = false;

  bool client_ = false;  // someone has the slave side open
  bool unplugged_ = false;
  Bucket in_bucket_, out_bucket_;
  OutQueue out_;
  int64_t sent_ = 0;
  Steady::time_point last_input_{};

  std::deque<Command> queue_;
  Busy busy_ = Busy::kIdle;
  std::string held_;  // rest of a reply waiting for the ACK
  Reply::Next held_next_ = Reply::Next::kNone;
  bool ack_clock_running_ = false;
  Steady::time_point ack_deadline_{};
  Steady::time_point restart_at_{};
  int64_t burst_index_ = 0;
  Steady::time_point burst_due_{};
  std::atomic<int> missed_acks_{0};
};

}  // namespace dorv::sim
