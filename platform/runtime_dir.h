#pragma once
#include <string>

namespace dorv::platform {

// The directory shared by the utility, the simulated logger and the tests:
// $DORV_RUNTIME_DIR, else $XDG_RUNTIME_DIR/dorv, else /tmp/dorv-<uid>.
// Created with mode 0700 when missing. Throws std::runtime_error when it
// cannot be created.
std::string RuntimeDir();

// RuntimeDir() + "/" + name, without creating anything below it.
std::string RuntimePath(const std::string& name);

}  // namespace dorv::platform
