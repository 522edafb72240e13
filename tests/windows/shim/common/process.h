#pragma once
// The Windows build's stand-in for tests/common/process.h: the temporary
// directory and file helpers the in-process tests use. Starting programs is
// left to the end-to-end run (tests/windows/e2e.sh).
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "common/file_helpers.h"

// The POSIX call the fixtures use to point the program at a directory.
inline int setenv(const char* name, const char* value, int /*overwrite*/) {
  return _putenv_s(name, value);
}

namespace dorv::testing {

inline std::string BinDir() {
  return DORV_BIN_DIR;
}

// A fresh directory below the system's temporary one, removed with the
// object. Paths use forward slashes, as the tests join them.
struct TempDir {
  std::string path;
  TempDir() {
    std::random_device random;
    auto base = std::filesystem::temp_directory_path();
    for (;;) {
      auto p = base / ("dorv-test-" + std::to_string(random()));
      if (std::filesystem::create_directory(p)) {
        path = p.generic_string();
        break;
      }
    }
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

}  // namespace dorv::testing
