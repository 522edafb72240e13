// dorv-updater: the DORV logger's maintenance utility with its windows.
#include "qtui/window_main.h"

int main(int argc, char** argv) {
  return dorv::qtui::WindowMain(argc, argv, nullptr);
}
