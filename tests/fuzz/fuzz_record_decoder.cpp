// The record decoder over the record lines of one download, as the end of a
// download decodes them: the state carries from one record to the next.
//
// Input: byte 0 bit 0 is the millisecond digit flag; then lines (LF
// separated): the first is the year text the logger reported, each further
// one a record line as the reply parser stored it.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "link/fixed_text.h"
#include "link/record_decoding.h"
#include "ui/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int hasMillisDigit = data[0] & 1;
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  size_t nl = text.find('\n');
  std::string_view yearText = text.substr(0, nl);
  text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);

  int year = dorv::ui::StrToIntDef(yearText, 0);
  dorv::link::RecordDecodeState state;
  dorv::app::FixedText<128> line;
  while (!text.empty()) {
    nl = text.find('\n');
    line.Set(text.substr(0, nl));
    text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
    dorv::link::DecodeRecord(line, year, hasMillisDigit, state);
    // The data line must end inside the buffer.
    if (line.View().size() >= line.Capacity()) __builtin_trap();
  }
  return 0;
}
