#pragma once
#include <array>
#include <cstring>
#include <string>
#include <string_view>

namespace dorv::app {

// A NUL-terminated character buffer of fixed capacity N (N - 1 characters and
// the terminator), as the main window's command slots and reply line are.
// Writes never pass the end: a longer text is cut at N - 1 characters.
template <size_t N>
struct FixedText {
  std::array<char, N> buf{};

  void Set(std::string_view s) {
    size_t n = s.size() < N - 1 ? s.size() : N - 1;
    std::memcpy(buf.data(), s.data(), n);
    buf[n] = '\0';
  }
  void Clear() { buf[0] = '\0'; }
  bool Empty() const { return buf[0] == '\0'; }
  std::string_view View() const { return std::string_view(buf.data(), std::strlen(buf.data())); }
  std::string Str() const { return std::string(View()); }
  const char* c_str() const { return buf.data(); }
  char& operator[](size_t i) { return buf[i]; }
  char operator[](size_t i) const { return buf[i]; }
  static constexpr size_t Capacity() { return N; }
};

}  // namespace dorv::app
