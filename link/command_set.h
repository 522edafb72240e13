#pragma once
// Argument encodings of the logger's commands.
#include <string>
#include <string_view>

namespace dorv::link {

// An edit box's text as a signed command argument: "-" for a negative value,
// then |n| div 10 and the digit |n| mod 10 (two digits for |n| <= 99).
// Raises the toolkit's conversion error for a text that is not an integer.
std::string FormatSignedArg(std::string_view text);

// Two-state toggle: "00" when the box showing the current state reads "ON"
// (trailing blanks removed), else "01", so a click switches to the other state.
std::string ToggleArg(std::string_view stateText);

}  // namespace dorv::link
