// The burst row formatter: the temperature text from the document's second
// line, and data lines for rows as the burst table holds them.
//
// Input: two bytes of row number (1 to the table's last row), then texts
// separated by LF: the document's second line, the start time text (its first
// 17 characters are the prefix), and row texts (at most 19 characters each,
// as a table row keeps them).
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/main_window.h"
#include "link/record_decoding.h"

namespace {

std::string_view NextLine(std::string_view& text) {
  size_t nl = text.find('\n');
  std::string_view line = text.substr(0, nl);
  text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  constexpr int kLastRow = dorv::app::kRecordCapacity - 1;
  int row = 1 + (data[0] << 8 | data[1]) % kLastRow;
  std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);

  std::string temperature = dorv::link::BurstTemperatureText(NextLine(text));
  if (temperature.size() != 5) __builtin_trap();
  std::string start(NextLine(text));
  std::string_view prefix = std::string_view(start).substr(0, 17);
  do {
    // A row as the table keeps it: NUL-terminated, at most 19 characters.
    std::array<char, dorv::app::kFastRowWidth> cell{};
    std::string_view r = NextLine(text).substr(0, dorv::app::kFastRowWidth - 1);
    std::copy(r.begin(), r.end(), cell.begin());
    std::string out = dorv::link::BurstLine(prefix, row, cell.data(), temperature);
    if (out.size() >= 96) __builtin_trap();
    row = row < kLastRow ? row + 1 : 1;
  } while (!text.empty());
  return 0;
}
