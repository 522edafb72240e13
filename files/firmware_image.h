#pragma once
// The firmware image the utility carries: Intel HEX text for the logger's
// PIC18F87K90, embedded at build time. By default the build embeds a
// generated test image (right for the simulated logger only); a build given
// the maker's release image embeds that one instead.
#include <string>
#include <string_view>
#include <vector>

namespace dorv::files {

// The image's lines as carried (3040 lines: 3038 records, the device comment,
// an empty line).
std::vector<std::string> FirmwareImageLines();

// True when the carried image is the maker's release image given to the
// build; false for the generated test image.
bool FirmwareImageIsRelease();

// The lines of an image file's text, read as the carried image is read
// (lines end with CR LF, LF or CR).
std::vector<std::string> FirmwareImageLinesOf(std::string_view text);

// Checks an image: every record's syntax, length and checksum, and the
// structure this logger's image has (record counts and sizes, the address
// ranges, the end record, the comment and the empty last line). Returns an
// empty text when sound, else what is wrong (with the line number).
std::string CheckFirmwareImage(const std::vector<std::string>& lines);

}  // namespace dorv::files
