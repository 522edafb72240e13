#pragma once
#include <string>

namespace dorv::platform {

// The directory shared by the utility, the simulated logger and the tests:
// $DORV_RUNTIME_DIR, else $XDG_RUNTIME_DIR/dorv, else /tmp/dorv-<uid>.
// Created with mode 0700 when missing. Used only when it is a real directory
// (not a symbolic link), owned by this user, with no access for group or
// others; throws std::runtime_error saying why otherwise, or when it cannot be
// created.
std::string RuntimeDir();

// Throws std::runtime_error naming path and the reason unless path is a
// directory (not a link) owned by this user without group or other access.
void CheckPrivateDir(const std::string& path);

// RuntimeDir() + "/" + name, without creating anything below it.
std::string RuntimePath(const std::string& name);

}  // namespace dorv::platform
