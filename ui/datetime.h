#pragma once
#include <string>

namespace dorv::ui {

// Date-time numbers as the toolkit keeps them: days since 1899-12-30, the
// fraction being the time of day.
using TDateTime = double;

struct DateTimeParts {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0, msec = 0;
};

TDateTime EncodeDateTime(const DateTimeParts& p);
DateTimeParts DecodeDateTime(TDateTime dt);
// The local time of the system clock.
TDateTime SystemNow();
// "yyyy/mm/dd hh:mm:ss" (whole seconds).
std::string FormatYmdHms(TDateTime dt);
// The short date and time formats: "yyyy/mm/dd" and "h:mm:ss".
std::string DateToStr(TDateTime dt);
std::string TimeToStr(TDateTime dt);
// Parses "yyyy/mm/dd hh:mm:ss"; false when the text is not of that form.
bool ParseYmdHms(const std::string& text, TDateTime& out);

}  // namespace dorv::ui
