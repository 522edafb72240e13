#pragma once
// The one line splitter of saved documents and of the carried firmware image.
#include <string>
#include <string_view>
#include <vector>

namespace dorv::files {

// Splits a text into lines ended by CR LF, LF or CR (a last line without its
// end counts; the end of the last line makes no empty line after it).
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace dorv::files
