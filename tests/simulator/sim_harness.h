#pragma once
// Talks raw bytes to a simulated logger over its pseudo-terminal.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "common/process.h"
#include "simulator/options.h"
#include "simulator/simulator.h"

namespace dorv::sim::test {

using namespace std::chrono_literals;
using Ms = std::chrono::milliseconds;

// A fresh runtime directory, set as DORV_RUNTIME_DIR for this process and
// removed with the object.
class PrivateRuntimeDir {
 public:
  PrivateRuntimeDir();
  ~PrivateRuntimeDir();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The slave side, opened as the utility opens its serial port.
class Port {
 public:
  explicit Port(const std::string& device);
  ~Port();
  Port(const Port&) = delete;
  Port& operator=(const Port&) = delete;

  void Write(std::string_view bytes);
  // Reads until `done` holds for everything read so far, the time-out passes
  // or the line goes dead; returns what was read.
  std::string ReadUntil(const std::function<bool(const std::string&)>& done, Ms timeout = 5s);
  // Reads until the prompt "#" ends the text read so far.
  std::string ReadReply(Ms timeout = 5s);
  std::string ReadFor(Ms duration) {
    return ReadUntil([](const std::string&) { return false; }, duration);
  }
  // Writes a command and reads its reply up to and including the prompt.
  std::string Exchange(std::string_view command, Ms timeout = 5s);
  // True once a read found the line closed (end of file or an error).
  bool Dead() const { return dead_; }

 private:
  int fd_ = -1;
  bool dead_ = false;
};

// A simulator served by a thread of this process, in a private runtime
// directory.
class RunningSimulator {
 public:
  explicit RunningSimulator(Options options = {});
  ~RunningSimulator();

  Simulator& sim() { return *sim_; }
  const std::string& device() const { return sim_->DevicePath(); }
  std::unique_ptr<Port> Connect() { return std::make_unique<Port>(device()); }
  // Stops the serving thread (the destructor does it too).
  void Stop();

 private:
  PrivateRuntimeDir dir_;
  std::unique_ptr<Simulator> sim_;
  std::thread thread_;
};

// The simulator program as a child process.
class ChildSimulator {
 public:
  ChildSimulator(const std::vector<std::string>& args, const std::string& runtime_dir);
  ~ChildSimulator();
  // The first line the program printed (empty if none came in time).
  const std::string& first_line() const { return first_line_; }
  pid_t pid() const { return process_->Pid(); }
  // Sends the signal and waits for the exit; returns the exit status, or -1
  // when it did not end normally in time.
  int Stop(int signal_number);

 private:
  std::unique_ptr<testing::BackgroundProcess> process_;
  std::string first_line_;
};

// The lines of a reply: split at LF, CR dropped, the final prompt removed.
std::vector<std::string> ReplyLines(std::string reply);

// Path of the built simulator program.
std::string SimulatorProgram();

}  // namespace dorv::sim::test
