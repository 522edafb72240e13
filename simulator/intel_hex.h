#pragma once
#include <string_view>

namespace dorv::sim {

enum class HexCheck {
  kOk,
  kSyntax,    // no leading ':', a character that is not a hex digit, or an odd digit count
  kLength,    // the text does not hold exactly the bytes its length field announces,
              // or the record type does not allow that length
  kChecksum,  // the bytes do not sum to zero modulo 256
  kType,      // record type other than 00 to 05
};

// Checks one Intel HEX record as the loader receives it (no line end).
// Hex digits of either case are accepted.
HexCheck CheckHexRecord(std::string_view line);

}  // namespace dorv::sim
