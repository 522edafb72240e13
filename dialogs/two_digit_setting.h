#pragma once
#include <string>

#include "ui/controls.h"

namespace dorv::dialogs {

// The shared steps of the device-ID and wait-option dialogs: unless the
// logger is busy or not ready, read the edit box as 0..99 (anything else 0),
// show it as two digits, and unless it is 0 where zero is refused, send the
// command letter with the two digits, stop the main timer and queue a status
// request. Returns true when the command was sent (the dialog then hides).
bool SendTwoDigitSetting(ui::TEdit* edit, char command, bool refuseZero);

}  // namespace dorv::dialogs
