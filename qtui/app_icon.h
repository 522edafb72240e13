#pragma once

namespace dorv::qtui {

// Gives the utility's windows the application icon (embedded in the program
// in the sizes of the installed icon theme) and names the installed desktop
// entry, so that docks and task bars show the same icon. Call after
// QApplication exists.
void ApplyApplicationIcon();

}  // namespace dorv::qtui
