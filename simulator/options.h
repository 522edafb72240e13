#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "simulator/records.h"

namespace dorv::sim {

// Misbehaviour on request (--fault NAME[=ARG]).
struct Faults {
  std::vector<std::string> no_prompt;  // commands (by name or full text) never followed by "#"
  bool enq = false;                    // ENQ inside replies; the rest waits for the ACK
  bool negative_count = false;         // "@C" reports the count negated
  bool irregular = false;              // some records repeat the previous record's time
  int drop_burst_rows = 0;             // every K-th burst row is left out
  int reject_hex_line = 0;             // the K-th HEX record is answered "!" however good
  bool no_final_m = false;             // the restart text after "qs" lacks its final "M"
  int64_t unplug_after = -1;           // the line is cut after this many bytes sent
  bool garbage = false;                // stray CR, "!" and "?" bytes between reply lines
  int long_line = 0;                   // length of an over-long line opening the status reply
  int64_t trail = 0;                   // junk lines of this many bytes after a download's prompt
  int64_t flood = 0;                   // a download answered by this many bytes of junk
};

struct Options {
  int com = 7;
  bool ftdi_identity = false;
  std::string serial;  // USB serial number; empty: DORV0001, or FTDI0001 with ftdi_identity
  int records = 1000;
  uint32_t seed = 0;
  int pace_baud = 0;  // 0: unpaced
  Faults faults;
  std::string transcript;  // file name, empty for none
  // Replaces the generated recording (for tests that need known records).
  std::optional<std::vector<Record>> record_list;
};

// Adds one --fault argument ("NAME" or "NAME=ARG"). False with a message when
// the name is unknown or its argument is missing or malformed.
bool ParseFault(std::string_view text, Faults& faults, std::string& error);

// Parses the program's arguments (argv[0] is the program name).
bool ParseCommandLine(int argc, const char* const* argv, Options& options, std::string& error);

inline constexpr const char* kUsage =
    "usage: dorv-logger-sim [--com N] [--identity dorv|ftdi] [--serial SERIAL] [--records N]\n"
    "                       [--seed S] [--pace-baud B] [--fault NAME[=ARG]]...\n"
    "                       [--transcript FILE]\n"
    "faults: no-prompt=CMD enq negative-count irregular drop-burst-rows=K reject-hex-line=K\n"
    "        no-final-M unplug-after=BYTES garbage long-line[=LENGTH] trail=BYTES\n"
    "        flood=BYTES\n";

}  // namespace dorv::sim
