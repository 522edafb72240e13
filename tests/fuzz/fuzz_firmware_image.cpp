// The firmware image check, over any text and over the carried image with
// lines replaced, removed or added.
//
// Input: byte 0 even: the rest is the image's text (lines as a file holds
// them). Byte 0 odd: the rest is a list of edits of the carried image, each
// two bytes of line number, a byte of kind (0 replace, 1 remove, 2 insert,
// else change one byte of the line) and a text ended by LF.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "files/csv_file.h"
#include "files/firmware_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  std::vector<std::string> lines;
  if ((data[0] & 1) == 0) {
    lines = dorv::files::SplitLines(rest);
  } else {
    static const std::vector<std::string> carried = dorv::files::FirmwareImageLines();
    lines = carried;
    while (rest.size() >= 3 && !lines.empty()) {
      size_t at = (static_cast<unsigned char>(rest[0]) << 8 | static_cast<unsigned char>(rest[1])) %
                  lines.size();
      int kind = static_cast<unsigned char>(rest[2]);
      rest.remove_prefix(3);
      size_t nl = rest.find('\n');
      std::string text(rest.substr(0, nl));
      rest = nl == std::string_view::npos ? std::string_view() : rest.substr(nl + 1);
      if (kind == 0) {
        lines[at] = text;
      } else if (kind == 1) {
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(at));
      } else if (kind == 2) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), text);
      } else if (!lines[at].empty()) {
        lines[at][kind % lines[at].size()] = text.empty() ? '0' : text[0];
      }
    }
  }
  std::string problem = dorv::files::CheckFirmwareImage(lines);
  (void)problem;
  return 0;
}
