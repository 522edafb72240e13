#include "serial/recorder.h"

#include <cstdio>
#include <fstream>

namespace dorv::serial {

void TRecorder::Start(uint32_t size) {
  if (on_ && paused_) {
    paused_ = false;
    return;
  }
  on_ = true;
  paused_ = false;
  size_ = size ? size : 1;
  entries_.clear();
}

void TRecorder::Abort() {
  on_ = paused_ = false;
  size_ = 0;
  entries_.clear();
}

void TRecorder::Pause(bool paused) {
  if (on_) paused_ = paused;
}

void TRecorder::Add(std::string entry) {
  if (!Taking()) return;
  entries_.push_back(std::move(entry));
  if (entries_.size() > size_) entries_.pop_front();
}

bool TRecorder::Dump(const std::string& path, bool hex, bool allHex, bool append) const {
  if (!on_) return false;
  std::ofstream out(path, append ? std::ios::app : std::ios::trunc);
  if (!out) return false;
  char buf[8];
  for (const std::string& e : entries_) {
    if (!perByte_) {
      out << e << '\n';
      continue;
    }
    unsigned char c = static_cast<unsigned char>(e[1]);
    out << e[0] << ' ';
    if (allHex || (hex && (c < 32 || c >= 127))) {
      std::snprintf(buf, sizeof buf, "[%02X]", c);
      out << buf;
    } else {
      out << static_cast<char>(c);
    }
    out << '\n';
  }
  return static_cast<bool>(out);
}

}  // namespace dorv::serial
