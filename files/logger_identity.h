#pragma once
// The logger behind the data and its settings, for the export and the graph
// report.
#include <string>

namespace dorv::files {

// Who recorded the data and with what settings, as the main window shows
// them. Texts are UTF-8; empty when unknown.
struct LoggerIdentity {
  std::string model;       // model code (ComboBox5)
  std::string unitNumber;  // unit number (Label18)
  std::string usbSerial;   // serial number of the logger's USB converter
  std::string interval;    // record interval (ComboBox2)
  std::string threshold;   // threshold setting (ComboBox1)
  std::string source;      // the data's name (model + unit, or the file loaded)
};

}  // namespace dorv::files
