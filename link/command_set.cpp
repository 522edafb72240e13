#include "link/command_set.h"

#include <cstdlib>

#include "ui/text.h"

namespace dorv::link {

std::string FormatSignedArg(std::string_view text) {
  int n = ui::StrToInt(ui::TrimRight(text));
  long long a = std::llabs(static_cast<long long>(n));
  return (n < 0 ? "-" : "") + std::to_string(a / 10) + std::to_string(a % 10);
}

std::string ToggleArg(std::string_view stateText) {
  return ui::TrimRight(stateText) == "ON" ? "00" : "01";
}

}  // namespace dorv::link
