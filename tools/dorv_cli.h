#pragma once
// What the command line's commands share: finding the port, running the
// window's forms headless on it, waiting for an exchange to end, reading
// the logger's status back and printing it.
#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "platform/registry.h"

namespace dorv::cli {

using platform::SerialDeviceInfo;

// The command line as parsed: the command, its words and its options.
struct Invocation {
  std::string command;
  std::vector<std::string> words;  // arguments that are no option
  std::string port, out;
  bool json = false, all = false;
  int count = -1;                 // monitor --count; -1: until interrupted
  std::string format = "legacy";  // download --format: legacy (保存) or export
};

extern const char kUsage[];
// The --help text of a command; empty for a command that does not exist.
std::string CommandHelp(const std::string& command);

// Prints why (when given) and the usage to standard error; returns 2.
int Usage(const std::string& why);
// Prints why to standard error; returns 1.
int Failure(const std::string& why);

std::vector<SerialDeviceInfo> FoundPorts();
std::string Kind(const SerialDeviceInfo& d);
// The one port a command serves: the one named by --port, else the one
// logger found. Sets code (1 nothing there, 2 more than one) when none.
bool ChoosePort(const std::string& wanted, SerialDeviceInfo& chosen, int& code);

// Runs the window's forms headless on one port: the port search sees only
// that port, the window connects as it does on its own, then work runs.
int WithConnectedForms(const SerialDeviceInfo& port, const std::function<int(app::TForm1&)>& work);
// ChoosePort, then WithConnectedForms.
int OnChosenLogger(const std::string& wanted,
                   const std::function<int(const SerialDeviceInfo&, app::TForm1&)>& work);

// Runs the event loop until the exchange under way has ended: nothing
// queued for the logger's next prompt, the port closed again and the tick
// running. False when it has not ended within the limit.
bool WaitForQuiet(app::TForm1& f, std::chrono::milliseconds limit = std::chrono::seconds(20));
// Reads the logger's status anew as the window's connect button does, and
// waits for it. False when the logger does not answer.
bool ReadStatusAgain(app::TForm1& f);

using Fields = std::vector<std::pair<std::string, std::string>>;
// What the window shows of the logger (texts in UTF-8).
Fields StatusFields(const SerialDeviceInfo& port, app::TForm1& f);
// "name: value" lines, or one JSON object.
void PrintFields(const Fields& fields, bool json);

std::string Trimmed(const std::string& s);

// The messages the window has shown since the last call, forgotten then.
std::vector<std::string> TakeMessages();

// "COM7  1200/2000 records  410 rec/s  2 s left": a transfer under way.
std::string ProgressText(const std::string& port, int done, int total, double seconds,
                         const char* unit = "records");

// Where a transfer's progress goes: the --all parent's pipe (its descriptor
// in DORV_PROGRESS_FD), else standard error when that is a terminal.
class Progress {
 public:
  Progress();
  void Report(const std::string& port, int done, int total, double seconds,
              const char* unit = "records");
  void Clear();
  // The line of a finished file: to the parent, which shows it in its place,
  // else to standard output.
  void Done(const std::string& line);

 private:
  int fd_ = -1;
  bool terminal_ = false;
  bool shown_ = false;
};

// The commands.
int List(bool json);
int Info(const Invocation& inv);
int Download(const Invocation& inv);
int Set(const Invocation& inv);
int Recording(const Invocation& inv);  // start, stop
int Reserve(const Invocation& inv);
int Monitor(const Invocation& inv);
int Burst(const Invocation& inv);

}  // namespace dorv::cli
