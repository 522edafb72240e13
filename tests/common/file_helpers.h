#pragma once
// Reading the files a test wrote or a program saved; portable, for the Linux
// and the Windows test builds alike.
#include <cstdio>
#include <string>
#include <vector>

namespace dorv::testing {

// A file's bytes (empty when it cannot be read).
inline std::string FileBytes(const std::string& path) {
  std::string out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return out;
  char buf[65536];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
  std::fclose(f);
  return out;
}

// The lines of a text file, split at LF (empty when it does not exist).
inline std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::string cur;
  for (char c : FileBytes(path)) {
    if (c == '\n') {
      lines.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) lines.push_back(cur);
  return lines;
}

}  // namespace dorv::testing
