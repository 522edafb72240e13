#pragma once
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "simulator/options.h"
#include "simulator/recognizer.h"
#include "simulator/records.h"

namespace dorv::sim {

// What the logger sends for one command, before the transport adds faults.
struct Reply {
  std::vector<std::string> lines;  // each sent followed by CR LF
  std::string tail;                // bytes after the lines (loader answers, "?")
  bool prompt = true;              // "#" at the end
  enum class Next { kNone, kBurst, kRestart } next = Next::kNone;
};

// The logger's settings, clock, recording and loader, and its answer to each
// command. Knows nothing of the wire; the caller passes the host clock.
class Logger {
 public:
  using Clock = std::chrono::system_clock;

  Logger(std::vector<Record> records, uint32_t seed, const Faults& faults);

  Reply Handle(const Command& cmd, Clock::time_point now);

  // Burst row `index` (from 0): a leading letter cycling through "g".."z"
  // (never a hex digit, so a missing row shows), x, y, z as two upper-case
  // hex digits each, and CR.
  std::string BurstRow(int64_t index);
  // Sent after "qs" and the restart pause: ends with "M" unless the fault
  // no-final-M asks otherwise (and then holds no "M" at all).
  std::string RestartText() const;

  int StartYear() const { return kRecordingStartYear; }

 private:
  enum class Run { kSleep = 0, kRecording = 1, kReserved = 2 };

  Reply HandleLoader(const Command& cmd);  // a HEX record or comment line
  std::vector<std::string> Status() const;
  std::string MonitorLine();
  std::string Identification() const;
  std::string TimeText(Clock::time_point now) const;
  int64_t LoggerSeconds(Clock::time_point now) const;
  int Divisor() const;
  void UpdateRun(Clock::time_point now);

  std::vector<Record> records_;
  Faults faults_;
  Rng rng_;
  int64_t clock_offset_ = 0;  // logger clock minus the host's local clock, seconds

  char sampling_ = '5';           // "i" code, Real(32Hz)
  char interval_ = 'J';           // "j" letter, 10 min
  std::string threshold_ = "20";  // "d" digits: tenths of a G
  bool detect_ = false;           // "k1"/"k0"
  char buzzer_ = '0';             // digit of the last "z": "0" sounds, "1" is silent
  std::string model_ = "10";
  int hazard_ = 0, gravity_ = 1, endless_ = 0;  // "Ox", "Oy", "Oz"
  int hundred_hz_ = 0, display_ = 1, df_ = 0;   // "OX", "OY", "OZ"
  int fx_ = 0, fy_ = 0, fz_ = 0;                // "FX", "FY", "FZ"
  int low_temp_ = 0;                            // "L"
  int unit_ = 1;                                // "N"
  int wait_ = 5;                                // "w"
  char data_rate_ = '1';                        // "q1"/"q5"
  int lcd_ = 7;                                 // "q7".."q9"
  char range_mode_ = '0';                       // "b0"/"b1"
  Run run_ = Run::kSleep;
  std::string reserve_text_;           // "mm/dd hh:mm" of the last "l"
  std::optional<int64_t> reserve_at_;  // logger seconds at which a reserved start begins
  int hex_records_ = 0;                // HEX records received since "e"
  int64_t monitor_count_ = 0;
};

}  // namespace dorv::sim
