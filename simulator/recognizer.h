#pragma once
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dorv::sim {

// One command as the logger (or its loader) received it.
struct Command {
  std::string text;     // the bytes as received
  std::string name;     // see below; "?" for input that is not a command, "" for ignored bytes
  bool loader = false;  // a HEX record or comment line for the firmware loader
};

// Cuts the incoming byte stream into commands. Commands arrive without any
// terminator, so each one is recognised by its first byte and the form that
// byte announces:
//
//   one byte      m p n x f o e D C G Z W # and the blank; ACK (0x06) alone
//   t / te        "t" is complete when anything but "e" follows or the input
//                 stays idle for the argument gap; "te" otherwise
//   fixed         s + 19 bytes (date-time), l + 11 bytes (mm/dd hh:mm),
//                 i + 1, j + 1, d + 2, N + 2, w + 2, Oy/Oz/OX + 2
//   two-byte codes k0 k1 z0 z1 b0 b1 q1..q9 qs Vp vp 10 20 50 00 02
//   literal       hAAA, and the five bytes 03 06 03 06 03
//   signed arg    Ox OY OZ L + an optional "-" and 2 to 4 digits; after two
//                 digits the argument ends at the first byte that is not a
//                 digit (which starts the next command), at the argument gap,
//                 or at the fourth digit
//   text arg      FX FY FZ + up to 16 bytes of any kind, ended by the gap
//
// A second byte that does not fit a known form rejects the command with that
// byte. An unknown first byte starts a run of noise that lasts until the gap.
// CR and LF on their own are ignored. A fixed-length command still incomplete
// after the abandon time is rejected.
//
// After "e" the loader listens as well: the logger's commands keep their
// meaning (the adjustment row sends "q7" and friends there, and "S" sends
// "p" right after "e"), and two more forms are taken:
//   ':' record    complete when it holds ':' + 2 * (5 + length byte) hex
//                 digits; a record with a bad character or one cut short
//                 ends at the gap (and is rejected by the loader)
//   ';' comment   ends at the gap (";PIC18F87K90")
// "qs" (restart) and "m" (wake-up) end the loader.
//
// Names: the command letters without their argument ("s", "l", "i", "j",
// "d", "N", "w", "Ox", "OY", "L", "FX", ...), the whole text for the codes and
// literals ("k1", "q5", "10", "hAAA", "te", the five control bytes), ":" for
// a HEX record and ";" for a comment.
class CommandRecognizer {
 public:
  using Duration = std::chrono::milliseconds;
  static constexpr Duration kDefaultGap{30};
  static constexpr Duration kAbandon{1000};

  explicit CommandRecognizer(Duration gap = kDefaultGap) : gap_(gap) {}

  // Adds one received byte; returns the commands it completes (a byte that
  // ends a variable-length command may complete a command of its own too).
  std::vector<Command> Feed(char c);
  // The input has been idle for `idle`: ends a command waiting for the gap,
  // or drops one stalled past the abandon time.
  std::optional<Command> Idle(Duration idle);
  // How long the input must stay idle before Idle() acts; nullopt when no
  // command is partly received.
  std::optional<Duration> IdleThreshold() const;

  bool InLoader() const { return loader_; }  // "e" received, no "qs" or "m" since
  // True while the five-byte control sequence is being received (its ACK
  // bytes belong to it and must not be taken as answers to an ENQ).
  bool InControlSequence() const { return !buf_.empty() && buf_[0] == '\x03'; }

 private:
  enum class Verdict {
    kMore,        // needs more bytes
    kMoreOrGap,   // complete if the gap follows, longer otherwise
    kDone,        // complete with this byte
    kDoneBefore,  // complete without this byte, which starts the next command
    kReject,      // not a command, this byte included
    kIgnore,      // a byte with no meaning on its own
  };
  struct Judgement {
    Verdict verdict;
    std::string name;
  };
  static Judgement JudgeLogger(std::string_view b);
  // The loader's own forms, or nullopt for the logger's.
  static std::optional<Judgement> JudgeLoaderLine(std::string_view b);
  static Judgement JudgeSigned(std::string_view b, size_t arg_at, std::string name);
  Judgement Judge() const;
  Command Emit(std::string text, std::string name);

  Duration gap_;
  bool loader_ = false;
  std::string buf_;
};

// The transcript form of received bytes: printable ASCII as is, every other
// byte and the backslash as \xHH.
std::string EscapeBytes(std::string_view bytes);
// The reverse, for command names given on the command line.
std::string UnescapeBytes(std::string_view text);

}  // namespace dorv::sim
