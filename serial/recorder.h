#pragma once
#include <cstdint>
#include <deque>
#include <string>

namespace dorv::serial {

// A bounded record of a port's traffic, for the character trace (one entry a
// byte: the direction and the byte) and the dispatch log (one line an event).
// Started with a size, it drops its oldest entry to make room for a new one;
// paused, it keeps what it has and takes nothing new; started again while
// paused, it resumes with what it has. The caller serialises access.
class TRecorder {
 public:
  // Trace entries are written as the direction and the byte (in hex when
  // asked); log entries as the line they are.
  explicit TRecorder(bool perByte) : perByte_(perByte) {}

  void Start(uint32_t size);
  void Abort();
  void Pause(bool paused);
  void Clear() { entries_.clear(); }
  void Add(std::string entry);
  bool On() const { return on_; }
  bool Taking() const { return on_ && !paused_; }
  // Writes the entries to path (appended, or replacing the file); false when
  // the recorder is off or the file cannot be written.
  bool Dump(const std::string& path, bool hex, bool allHex, bool append) const;

 private:
  bool perByte_;
  bool on_ = false, paused_ = false;
  uint32_t size_ = 0;
  std::deque<std::string> entries_;
};

}  // namespace dorv::serial
