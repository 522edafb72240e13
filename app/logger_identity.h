#pragma once
// The connected logger's identity and settings as the main window shows them,
// for the export's JSON and the graph report.
#include <string>

#include "files/logger_identity.h"

namespace dorv::app {

class TForm1;

// Model, unit number, USB serial number (of the identity the port search
// matched; empty while no logger is connected), record interval, threshold
// and the data's name.
files::LoggerIdentity LoggerIdentityOf(const TForm1& form);

// "VID_0403+PID_6001+DORV0001A" -> "DORV0001" (the serial number without the
// converter's port letter).
std::string UsbSerialOf(const std::string& identity);

}  // namespace dorv::app
