// dorv-updater: the DORV logger's maintenance utility with its windows.
#include <QApplication>

#include "qtui/frontend.h"

int main(int, char** argv) {
  // The utility reads no command line: Qt is given the program's name only.
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  QApplication application(qtArgc, qtArgv);
  dorv::qtui::Frontend frontend;
  return dorv::app::RunProgram(frontend.Hooks());
}
