// The image check, shared by the program and the build (which refuses to
// embed an image that fails it).
#include <cstdio>
#include <map>

#include "base/hex.h"
#include "files/firmware_image.h"
#include "files/text_lines.h"

namespace dorv::files {

namespace {

std::string At(size_t i, const std::string& what) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "行 %zu: ", i + 1);
  return buf + what;
}

}  // namespace

std::vector<std::string> FirmwareImageLinesOf(std::string_view text) {
  return SplitLines(text);
}

std::string CheckFirmwareImage(const std::vector<std::string>& lines) {
  constexpr size_t kLines = 3040, kRecords = 3038;
  if (lines.size() != kLines) return "行数が違います (" + std::to_string(lines.size()) + ")";
  std::map<int, int> dataSizes;  // bytes per record -> records
  unsigned upper = 0;
  long dataBytes = 0;
  bool upperSet = false;
  // The address ranges the data must cover exactly.
  struct Range {
    unsigned from, to;
    long bytes = 0;
  } ranges[3] = {{0x000000, 0x000003}, {0x000008, 0x00BD9D}, {0x300000, 0x30000D}};
  for (size_t i = 0; i < kRecords; ++i) {
    const std::string& l = lines[i];
    if (l.size() < 11 || l.size() > 43 || l[0] != ':' || (l.size() - 1) % 2 != 0)
      return At(i, "レコードの形式が違います");
    std::vector<int> bytes;
    for (size_t k = 1; k < l.size(); k += 2) {
      int hi = base::HexDigitValue(l[k]), lo = base::HexDigitValue(l[k + 1]);
      if (hi < 0 || lo < 0) return At(i, "16進数でない文字があります");
      bytes.push_back(hi * 16 + lo);
    }
    int len = bytes[0];
    if (static_cast<size_t>(len) + 5 != bytes.size()) return At(i, "長さが違います");
    int sum = 0;
    for (int b : bytes) sum += b;
    if ((sum & 0xFF) != 0) return At(i, "チェックサムが違います");
    unsigned addr = (bytes[1] << 8) | bytes[2];
    int type = bytes[3];
    if (type == 0) {
      ++dataSizes[len];
      unsigned full = (upper << 16) | addr;
      bool inside = false;
      for (auto& r : ranges)
        if (full >= r.from && full + len - 1 <= r.to) {
          r.bytes += len;
          inside = true;
        }
      if (!inside) return At(i, "アドレスが範囲外です");
      dataBytes += len;
    } else if (type == 4) {
      if (upperSet || len != 2 || bytes[4] != 0x00 || bytes[5] != 0x30)
        return At(i, "拡張アドレスが違います");
      upper = 0x0030;
      upperSet = true;
    } else if (type == 1) {
      if (i != kRecords - 1 || l != ":00000001FF") return At(i, "終了レコードの位置が違います");
    } else {
      return At(i, "使わないレコード種別です");
    }
  }
  if (lines[kRecords - 1] != ":00000001FF") return "終了レコードがありません";
  if (dataSizes[16] != 3032 || dataSizes[14] != 2 || dataSizes[8] != 1 || dataSizes[4] != 1 ||
      dataSizes.size() != 4)
    return "データレコードの構成が違います";
  for (auto& r : ranges)
    if (r.bytes != static_cast<long>(r.to - r.from + 1)) return "アドレス範囲が埋まっていません";
  if (dataBytes != 48552) return "データ量が違います";
  if (lines[kRecords] != ";PIC18F87K90") return "デバイス名の行がありません";
  if (!lines[kRecords + 1].empty()) return "最後の行が空ではありません";
  return "";
}

}  // namespace dorv::files
