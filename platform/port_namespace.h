#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace dorv::platform {

// Where the device names of serial ports ("\\.\COM5", "COM5") lead on this
// system. Ports are registered by number; names that are already paths
// ("/dev/ttyUSB0") lead to themselves. Thread-safe.
class PortNamespace {
 public:
  // Port number of "\\.\COMn" or "COMn" (0 when the name is neither).
  static int PortNumber(std::string_view name);

  static void Register(int number, const std::string& path);
  static void Unregister(int number);
  static void Clear();
  // Asked for numbers that are not registered (set by device discovery).
  static void SetFallback(std::function<std::optional<std::string>(int number)> fallback);

  // The device path for a name, or nothing when no such port is known.
  static std::optional<std::string> Resolve(std::string_view name);
};

}  // namespace dorv::platform
