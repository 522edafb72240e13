#pragma once
// What a user would see cut or crowded in a form as it stands now: controls
// that the window's edge cuts, controls that overlap a neighbour, and texts
// that do not fit their control. Used by the tests on every form in the
// states the program puts it in (shrunk to a strip, a panel opened).
#include <functional>
#include <string>
#include <vector>

#include "ui/form.h"

namespace dorv::ui {

// The width in pixels of a text (UTF-8) in a font, as the front end draws it.
using TextWidthFn = std::function<int(const TFont& font, const std::string& text)>;

// One line per fault, naming the form, the control and what is wrong; empty
// when the form looks whole.
std::vector<std::string> LayoutFaults(const TForm& form, const TextWidthFn& textWidth);

}  // namespace dorv::ui
