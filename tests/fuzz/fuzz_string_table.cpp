// The "STR0" string table reader over any bytes given as a module's table:
// opened (or refused), then looked up by the ids it lists and others, into
// buffers of every small size.
//
// Input: the table's bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "serial/string_table.h"

using dorv::serial::TStringResource;

namespace {

uint32_t Le32(std::string_view d, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(d[at + i]);
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view table(reinterpret_cast<const char*>(data), size);
  dorv::serial::TResourceFinder module = [&](std::string_view name, std::string_view& out) {
    if (name != "FUZZ_TABLE") return false;
    out = table;
    return true;
  };
  try {
    TStringResource res(module, "FUZZ_TABLE");
    // The ids of its records, their neighbours and the extremes.
    std::vector<uint32_t> ids = {0, 1, 0xFFFFFFFFu};
    for (uint32_t i = 0; i < res.Count() && i < 64; ++i) {
      uint32_t id = Le32(table, 8 + 12 * size_t{i});
      ids.insert(ids.end(), {id, id - 1, id + 1});
    }
    char ascii[40];
    char16_t wide[40];
    for (uint32_t id : ids) {
      std::string s = res.GetString(id);
      if (dorv::serial::Utf8ToUtf16(s).size() > 2 * s.size() + 1) __builtin_trap();
      for (size_t n : {size_t{0}, size_t{1}, size_t{2}, size_t{3}, size_t{4}, sizeof ascii})
        res.GetAsciiZ(id, ascii, n);
      for (size_t n : {size_t{0}, size_t{1}, size_t{2}, std::size(wide)})
        res.GetWideChar(id, wide, n);
    }
  } catch (const dorv::serial::EStringResourceError&) {
    // A missing or malformed table is refused with its message.
  }
  // The conversions themselves over the raw bytes.
  std::u16string wide = dorv::serial::Utf8ToUtf16(table);
  std::string back = dorv::serial::Utf16ToUtf8(wide);
  for (size_t n = 0; n <= back.size() && n < 8; ++n) dorv::serial::CutUtf8(back, n);
  return 0;
}
