#pragma once
// The firmware image the utility carries: Intel HEX text for the logger's
// PIC18F87K90, embedded at build time.
#include <string>
#include <vector>

namespace dorv::operations {

// The image's lines as carried (3040 lines: 3038 records, the device comment,
// an empty line).
std::vector<std::string> FirmwareImageLines();

// Checks an image: every record's syntax, length and checksum, and the
// structure this logger's image has (record counts and sizes, the address
// ranges, the end record, the comment and the empty last line). Returns an
// empty text when sound, else what is wrong (with the line number).
std::string CheckFirmwareImage(const std::vector<std::string>& lines);

}  // namespace dorv::operations
