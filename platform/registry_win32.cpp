// The system registry on Windows: the real one, read-only, below
// HKEY_LOCAL_MACHINE; the serial ports are the values of the serial-port map.
#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "platform/registry.h"
#include "platform/win32_text.h"

namespace dorv::platform {

namespace {

class SystemRegistry : public Registry {
 public:
  ~SystemRegistry() override { CloseKey(); }

  bool OpenKeyReadOnly(const std::string& path) override {
    CloseKey();
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, win32::Widen(path).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
      return false;
    key_ = key;
    return true;
  }

  std::vector<std::string> GetValueNames() override {
    std::vector<std::string> names;
    if (!key_) return names;
    DWORD count = 0, longest = 0;
    if (RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         &longest, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      return names;
    std::wstring name(longest + 1, L'\0');
    for (DWORD i = 0; i < count; ++i) {
      DWORD len = longest + 1;
      if (RegEnumValueW(key_, i, name.data(), &len, nullptr, nullptr, nullptr, nullptr) ==
          ERROR_SUCCESS)
        names.push_back(win32::Narrow(std::wstring_view(name.data(), len)));
    }
    return names;
  }

  std::string ReadString(const std::string& name) override {
    if (!key_) return {};
    const std::wstring wname = win32::Widen(name);
    DWORD type = 0, bytes = 0;
    if (RegQueryValueExW(key_, wname.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
      return {};
    std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key_, wname.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                         &bytes) != ERROR_SUCCESS)
      return {};
    // The stored string may or may not carry its terminating NUL.
    value.resize(bytes / sizeof(wchar_t));
    while (!value.empty() && value.back() == L'\0') value.pop_back();
    return win32::Narrow(value);
  }

  void CloseKey() override {
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
  }

 private:
  HKEY key_ = nullptr;
};

// The identities of the FTDI bus's devices by their port names.
std::vector<std::pair<std::string, std::string>> FtdiPortNames() {
  std::vector<std::pair<std::string, std::string>> out;
  HKEY bus = nullptr;
  std::wstring busPath = win32::Widen(kFtdiBusKey);
  busPath.pop_back();  // the trailing backslash
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, busPath.c_str(), 0, KEY_READ, &bus) != ERROR_SUCCESS)
    return out;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD len = 256;
    if (RegEnumKeyExW(bus, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    std::string identity = win32::Narrow(std::wstring_view(name, len));
    SystemRegistry device;
    if (!device.OpenKeyReadOnly(DeviceKeyPath(identity))) continue;
    std::string port = device.ReadString("PortName");
    if (!port.empty()) out.emplace_back(port, identity);
  }
  RegCloseKey(bus);
  return out;
}

}  // namespace

std::vector<SerialDeviceInfo> ListSerialDevices() {
  std::vector<SerialDeviceInfo> out;
  SystemRegistry registry;
  if (!registry.OpenKeyReadOnly(kSerialCommKey)) return out;
  std::vector<std::string> ports;
  for (auto& name : registry.GetValueNames()) ports.push_back(registry.ReadString(name));
  registry.CloseKey();
  auto identities = FtdiPortNames();
  for (auto& port : ports) {
    if (port.empty()) continue;
    SerialDeviceInfo info;
    info.portName = port;
    info.device = "\\\\.\\" + port;
    for (auto& [p, identity] : identities)
      if (p == port) info.identity = identity;
    out.push_back(info);
  }
  KeepRestrictedSerialDevices(out);
  return out;
}

bool SerialDeviceMatches(const SerialDeviceInfo& device, const std::string& port) {
  if (port.empty()) return true;
  // Device names are not case-sensitive here: "com7", "COM7", "\\.\COM7".
  auto lower = [](std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
  };
  std::string p = lower(port);
  if (p.rfind("\\\\.\\", 0) == 0) p = p.substr(4);
  return p == lower(device.portName);
}

std::unique_ptr<Registry> CreateSystemRegistry() {
  return std::make_unique<SystemRegistry>();
}

}  // namespace dorv::platform
