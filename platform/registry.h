#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace dorv::platform {

// Read-only access to the system's device registry, in the shape the port
// search reads it: keys by path, their value names, string values.
class Registry {
 public:
  virtual ~Registry() = default;
  // Opens a key below the local machine's root; false when it does not exist.
  virtual bool OpenKeyReadOnly(const std::string& path) = 0;
  // Names of the values of the open key, in the registry's order.
  virtual std::vector<std::string> GetValueNames() = 0;
  // A string value of the open key; empty when missing.
  virtual std::string ReadString(const std::string& name) = 0;
  virtual void CloseKey() = 0;
};

// Key paths the port search reads.
inline constexpr const char* kSerialCommKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
inline constexpr const char* kFtdiBusKey = "SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS\\";
inline constexpr const char* kDeviceParameters = "\\0000\\Device Parameters";
// USB identities in the FTDI enumeration form: the logger's own, and the
// generic converter accepted on request.
inline constexpr const char* kLoggerIdentity = "VID_0403+PID_6001+DORV0001A";
inline constexpr const char* kGenericFtdiIdentity = "VID_0403+PID_6001+FTDI0001A";

// The ports registered in the runtime directory by programs that offer one
// (the simulated logger): value name the port name ("COM7"), value its device
// path. A port found over USB is never listed here.
inline constexpr const char* kRegisteredPortsKey = "SOFTWARE\\DORV\\RegisteredPorts";

std::string DeviceKeyPath(const std::string& identity);

// True when the port (such as "COM7") is one registered in the runtime
// directory rather than a device found over USB. A port the registry does not
// know counts as found over USB.
bool IsRegisteredPort(Registry& registry, const std::string& portName);

// A registry held in memory (tests, and the snapshot the system registry
// builds): key path -> ordered (name, value) pairs.
class MemoryRegistry : public Registry {
 public:
  using Values = std::vector<std::pair<std::string, std::string>>;
  void SetKey(const std::string& path, Values values) { keys_[path] = std::move(values); }
  void RemoveKey(const std::string& path) { keys_.erase(path); }
  void Clear() { keys_.clear(); }

  bool OpenKeyReadOnly(const std::string& path) override;
  std::vector<std::string> GetValueNames() override;
  std::string ReadString(const std::string& name) override;
  void CloseKey() override { open_ = nullptr; }

 private:
  std::map<std::string, Values> keys_;
  const Values* open_ = nullptr;
};

// One serial port the system offers: a real USB converter or a port
// registered in the runtime directory (the simulated logger).
struct SerialDeviceInfo {
  std::string portName;     // "COM<n>"
  std::string device;       // device path, e.g. /dev/ttyUSB0 or /dev/pts/3
  std::string identity;     // FTDI enumeration form "VID_0403+PID_6001+<serial>A", may be empty
  bool registered = false;  // from the runtime directory
};

// The serial ports of this system: FTDI USB serial devices (vendor 0403) and
// the live registrations of the runtime directory. Real devices get stable
// COM numbers derived from their serial numbers (see the README).
std::vector<SerialDeviceInfo> ListSerialDevices();

// Restricts ListSerialDevices(), and so the port search of everything built
// on it, to one port for the rest of the process: a "COM<n>" name (any case)
// or a device path (a link to the device counts as its path). Empty lifts the
// restriction. A program that serves one given port (the command line) sets
// it before the search starts.
void RestrictSerialDevices(const std::string& port);

// Whether a device is the port given to RestrictSerialDevices (each backend
// has its own rule for names and paths).
bool SerialDeviceMatches(const SerialDeviceInfo& device, const std::string& port);

// Removes from devices what RestrictSerialDevices excludes; for the backends'
// ListSerialDevices().
void KeepRestrictedSerialDevices(std::vector<SerialDeviceInfo>& devices);

// What a port is by its USB identity: "logger" (vendor 0403, product 6001, a
// serial number beginning "DORV"), "converter" (the generic FTDI identity the
// FTDI check box accepts) or "other".
std::string SerialDeviceKind(const std::string& identity);

// The USB serial number of an identity in the FTDI enumeration form (the
// part after "VID_xxxx+PID_xxxx+" without the port letter); empty when the
// identity has no such form.
std::string UsbSerialNumber(const std::string& identity);

// The registry of this system, built from ListSerialDevices() at every
// opening of the serial-port map or of the registered ports' key (so each
// port search, and each question about a port, sees the ports of that
// moment).
std::unique_ptr<Registry> CreateSystemRegistry();

// Builds the registry keys for a list of devices (shared by the system
// registry and tests): the serial-port map with one "VCP" value per device,
// a device key per identity ("PortName"), and the registered ports' key; a
// DORV identity (serial number beginning "DORV") answers the logger's own key.
void FillRegistry(MemoryRegistry& reg, const std::vector<SerialDeviceInfo>& devices);

// Reads the runtime directory's port registrations (ports/COM<n> files of
// key=value lines); stale ones (device gone, process gone) are skipped.
// Refused, with one line on standard error per registration and reason: a
// number outside 1..65535, anything but a regular file of this user's (links,
// FIFOs, devices), a file larger than a registration can be, and a device
// that is not a serial port (SerialDeviceRefusal).
std::vector<SerialDeviceInfo> ReadRegisteredPorts(const std::string& runtimeDir);

// Why device may not be opened as a logger's port, empty when it may: it
// must be a character device that is a serial port or a pseudo-terminal's
// far side, and not the terminal of this program.
std::string SerialDeviceRefusal(const std::string& device);

// The COM number given to a real device with this serial number, avoiding the
// numbers in use.
int StableComNumber(const std::string& serial, const std::vector<int>& inUse);

}  // namespace dorv::platform
