// The character trace and the dispatch log of a port (off unless switched
// on), kept under the dispatch lock.
#include "serial/dispatcher.h"

namespace dorv::serial {

void TBaseDispatcher::AddTrace(char kind, const char* data, uint32_t n) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  if (!trace_.Taking()) return;
  for (uint32_t i = 0; i < n; ++i) trace_.Add(std::string(1, kind) + data[i]);
}

void TBaseDispatcher::AddLog(const std::string& entry) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  if (!log_.Taking()) return;
  log_.Add(std::to_string(CurrentMs() - logStartMs_) + " " + entry);
}

void TBaseDispatcher::StartRecording(Recording which, uint32_t size) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  RecorderOf(which).Start(size);
}

void TBaseDispatcher::AbortRecording(Recording which) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  RecorderOf(which).Abort();
}

void TBaseDispatcher::PauseRecording(Recording which, bool paused) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  RecorderOf(which).Pause(paused);
}

void TBaseDispatcher::ClearRecording(Recording which) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  RecorderOf(which).Clear();
}

bool TBaseDispatcher::DumpRecording(Recording which, const std::string& path, bool hex, bool allHex,
                                    bool append) {
  std::lock_guard<std::recursive_mutex> lock(dispatchLock_);
  return RecorderOf(which).Dump(path, hex, allHex, append);
}

}  // namespace dorv::serial
