// dorv-updater.exe: the DORV logger's maintenance utility with its windows.
#include "win32ui/frontend_win32.h"

int main(int argc, char** argv) {
  dorv::win32ui::Frontend frontend;
  return dorv::win32ui::WindowMain(argc, argv, frontend);
}
