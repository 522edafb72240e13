#pragma once
// The command line's values, checked before any logger is touched: the
// settings it changes and their values, a reservation time, a burst's
// length. Pure functions, so that a bad value is a usage error that never
// reaches a port.
#include <ctime>
#include <string>
#include <vector>

namespace dorv::cli {

// How a setting's value is written on the command line.
enum class ValueKind {
  Choice,    // one of the window's list entries, as shown there
  OnOff,     // "on" or "off"
  Signed,    // an integer from min to max
  TwoDigit,  // an integer from min to max, sent as two digits
};

struct SettingInfo {
  std::string name;
  ValueKind kind;
  std::vector<std::string> choices;  // Choice
  int min = 0, max = 0;              // Signed, TwoDigit
  std::string what;                  // one line for --help
};

// Every setting `dorv set` changes, in the order --help lists them.
const std::vector<SettingInfo>& Settings();
const SettingInfo* FindSetting(const std::string& name);

// The value as the window shows it ("05" for threshold 5, "on", "-3");
// false with a message naming what is allowed.
bool NormaliseSetting(const SettingInfo& s, const std::string& value, std::string& out,
                      std::string& error);

// The allowed values of a setting, for messages and --help.
std::string AllowedValues(const SettingInfo& s);

// A reserved start "yyyy/mm/dd hh:mm" checked against the PC's local time
// now: a date that exists, after the current minute and less than a year
// ahead (the logger takes month, day and time only, and a time that has
// passed as next year's). On success `out` is the dialog's "mm/dd hh:mm".
bool ParseReservation(const std::string& text, std::time_t now, std::string& out,
                      std::string& error);

// A burst's length: whole seconds from 5 to 360.
bool ParseBurstSeconds(const std::string& text, int& seconds, std::string& error);

}  // namespace dorv::cli
