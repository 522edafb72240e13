// dorv-script: runs a script of user actions against the utility's forms,
// headless. See the README for the grammar.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "app/program.h"
#include "dorv_version.h"
#include "tools/script_runner.h"
#include "ui/text.h"

namespace {

const char kUsage[] =
    "usage: dorv-script [--screen WxH] [--clock \"yyyy/mm/dd hh:mm:ss\"] SCRIPT|-\n"
    "       dorv-script --help | --version\n"
    "Starts the utility headless and runs a script of user actions against its\n"
    "windows (SCRIPT - reads standard input). Exit status: 0 when every line ran\n"
    "and held, 1 at the first failed check, 2 for a script error.\n";

int Usage() {
  std::cerr << kUsage;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int screenW = 1024, screenH = 768;
  bool haveClock = false;
  dorv::ui::TDateTime clock = 0;
  std::string scriptPath;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--help") {
      std::cout << kUsage;
      return 0;
    }
    if (a == "--version") {
      std::cout << "dorv-script " << DORV_VERSION << "\n";
      return 0;
    }
    if (a == "--screen" && i + 1 < argc) {
      if (std::sscanf(argv[++i], "%dx%d", &screenW, &screenH) != 2 || screenW <= 0 || screenH <= 0)
        return Usage();
    } else if (a == "--clock" && i + 1 < argc) {
      if (!dorv::ui::ParseYmdHms(argv[++i], clock)) return Usage();
      haveClock = true;
    } else if (scriptPath.empty() && (a == "-" || a[0] != '-')) {
      scriptPath = a;
    } else {
      return Usage();
    }
  }
  if (scriptPath.empty()) return Usage();

  std::vector<std::string> lines;
  {
    std::ifstream file;
    std::istream* in = &std::cin;
    if (scriptPath != "-") {
      file.open(scriptPath);
      if (!file) {
        std::cerr << "dorv-script: cannot read " << scriptPath << "\n";
        return 2;
      }
      in = &file;
    }
    for (std::string l; std::getline(*in, l);) lines.push_back(l);
  }

  dorv::app::ProgramHooks hooks;
  hooks.prepare = [&](dorv::ui::TApplication& app) {
    app.SetScreenSize(screenW, screenH);
    if (haveClock) app.SetClock(clock);
  };
  hooks.run = [&](dorv::ui::TApplication& app) {
    auto& modals = static_cast<dorv::ui::HeadlessModals&>(app.Modals());
    app.Loop().ProcessReady();
    dorv::tools::ScriptRunner runner(app, modals, std::cout, std::cerr);
    return runner.Run(lines);
  };
  return dorv::app::RunProgram(hooks);
}
