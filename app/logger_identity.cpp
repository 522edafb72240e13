#include "app/logger_identity.h"

#include "app/main_window.h"
#include "platform/registry.h"

namespace dorv::app {

std::string UsbSerialOf(const std::string& identity) {
  const size_t plus = identity.rfind('+');
  std::string serial = plus == std::string::npos ? identity : identity.substr(plus + 1);
  if (serial.size() > 1) serial.pop_back();  // the port letter
  return serial;
}

files::LoggerIdentity LoggerIdentityOf(const TForm1& f) {
  files::LoggerIdentity id;
  id.model = f.ComboBox5->Text();
  id.unitNumber = f.Label18->Caption();
  // The port search leaves the word of the identity it matched in Edit5.
  if (f.LoggerReady == 1)
    id.usbSerial = UsbSerialOf(f.Edit5->Text() == "FTDI" ? platform::kGenericFtdiIdentity
                                                         : platform::kLoggerIdentity);
  id.interval = f.ComboBox2->Text();
  id.threshold = f.ComboBox1->Text();
  id.source = f.DataSourceName;
  return id;
}

}  // namespace dorv::app
