#pragma once
// Turns the logger's record lines and burst rows into the program's data
// lines: dated, comma-separated text lines.
#include <string>
#include <string_view>

#include "link/fixed_text.h"

namespace dorv::link {

// What decoding keeps from one record to the next within one download.
struct RecordDecodeState {
  int DecodeMonth = 0;
  int EpochBits = 0;
  int EpochCarry = 0;
  int TimeKey = 0, PrevTimeKey = 0;
  int DateKey = 0, PrevDateKey = 0;
  int IrregularSeen = 0;
};

// The byte that marks a record whose time does not advance; it replaces the
// first character of its data line.
constexpr char kIrregularMark = '\x81';

// Decodes the record text in lineBuf and replaces it by its data line.
// decodeYear grows when the month goes back. Returns IrregularSeen (which
// stays 1 for the rest of the download once set). Texts that are short or
// hold characters other than hexadecimal digits decode as if those were "0".
bool DecodeRecord(app::FixedText<128>& lineBuf, int& decodeYear, int hasMillisDigit,
                  RecordDecodeState& st);

// The 5-character temperature text of a burst line, taken from the second
// line of the document at positions 32 to 36: right-aligned behind a blank
// unless it begins with "-". Characters the line lacks count as blanks.
std::string BurstTemperatureText(std::string_view secondLine);

// One burst data line: the 17-character time prefix, the elapsed seconds and
// milliseconds of row r, the three signed axis bytes of the row text (its
// characters 1-2, 3-4, 5-6), and the temperature text.
std::string BurstLine(std::string_view prefix17, int row, std::string_view rowText,
                      const std::string& temperature);

}  // namespace dorv::link
