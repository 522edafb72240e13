#pragma once
// What the dispatcher's source files share and nothing else uses.
#include <cstdint>

#include "serial/dispatcher.h"

namespace dorv::serial::internal {

// A position in the receive ring.
inline uint32_t Wrap(uint32_t i) {
  return i % kDispatchBufferSize;
}

// The dispatcher whose dispatching thread this is (null elsewhere).
inline thread_local const TBaseDispatcher* tl_dispatcherOfThread = nullptr;

}  // namespace dorv::serial::internal
