#include "simulator/intel_hex.h"

#include <vector>

#include "base/hex.h"

namespace dorv::sim {

HexCheck CheckHexRecord(std::string_view line) {
  if (line.empty() || line[0] != ':') return HexCheck::kSyntax;
  std::string_view digits = line.substr(1);
  if (digits.size() % 2 != 0) return HexCheck::kSyntax;
  std::vector<int> bytes;
  for (size_t i = 0; i < digits.size(); i += 2) {
    int hi = base::HexDigitValue(digits[i]), lo = base::HexDigitValue(digits[i + 1]);
    if (hi < 0 || lo < 0) return HexCheck::kSyntax;
    bytes.push_back(hi << 4 | lo);
  }
  // length, address (2), type, data, checksum
  if (bytes.size() < 5) return HexCheck::kLength;
  const size_t len = static_cast<size_t>(bytes[0]);
  if (bytes.size() != len + 5) return HexCheck::kLength;
  const int type = bytes[3];
  switch (type) {
    case 0x00:
      break;
    case 0x01:
      if (len != 0) return HexCheck::kLength;
      break;
    case 0x02:
    case 0x04:
      if (len != 2) return HexCheck::kLength;
      break;
    case 0x03:
    case 0x05:
      if (len != 4) return HexCheck::kLength;
      break;
    default:
      return HexCheck::kType;
  }
  int sum = 0;
  for (int b : bytes) sum += b;
  return (sum & 0xFF) == 0 ? HexCheck::kOk : HexCheck::kChecksum;
}

}  // namespace dorv::sim
