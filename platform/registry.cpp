#include "platform/registry.h"

#include <algorithm>
#include <mutex>

namespace dorv::platform {

namespace {
std::mutex restrictMutex;
std::string restrictedPort;  // empty: every port
}  // namespace

void RestrictSerialDevices(const std::string& port) {
  std::lock_guard<std::mutex> lock(restrictMutex);
  restrictedPort = port;
}

void KeepRestrictedSerialDevices(std::vector<SerialDeviceInfo>& devices) {
  std::string only;
  {
    std::lock_guard<std::mutex> lock(restrictMutex);
    only = restrictedPort;
  }
  if (!only.empty())
    std::erase_if(devices,
                  [&](const SerialDeviceInfo& d) { return !SerialDeviceMatches(d, only); });
}

std::string DeviceKeyPath(const std::string& identity) {
  return std::string(kFtdiBusKey) + identity + kDeviceParameters;
}

bool IsRegisteredPort(Registry& registry, const std::string& portName) {
  if (!registry.OpenKeyReadOnly(kRegisteredPortsKey)) return false;
  auto names = registry.GetValueNames();
  bool registered = std::find(names.begin(), names.end(), portName) != names.end();
  registry.CloseKey();
  return registered;
}

bool MemoryRegistry::OpenKeyReadOnly(const std::string& path) {
  auto it = keys_.find(path);
  open_ = it == keys_.end() ? nullptr : &it->second;
  return open_ != nullptr;
}

std::vector<std::string> MemoryRegistry::GetValueNames() {
  std::vector<std::string> names;
  if (open_)
    for (auto& [n, v] : *open_) names.push_back(n);
  return names;
}

std::string MemoryRegistry::ReadString(const std::string& name) {
  if (open_)
    for (auto& [n, v] : *open_)
      if (n == name) return v;
  return {};
}

void FillRegistry(MemoryRegistry& reg, const std::vector<SerialDeviceInfo>& devices) {
  reg.Clear();
  MemoryRegistry::Values map;
  int real = 0;
  for (auto& d : devices) {
    // Value names as the FTDI driver writes them: "\Device\VCP<k>".
    std::string name =
        d.registered ? "\\Device\\VCP_" + d.portName : "\\Device\\VCP" + std::to_string(real++);
    map.emplace_back(name, d.portName);
  }
  if (!map.empty()) reg.SetKey(kSerialCommKey, map);
  MemoryRegistry::Values registered;
  for (auto& d : devices)
    if (d.registered) registered.emplace_back(d.portName, d.device);
  if (!registered.empty()) reg.SetKey(kRegisteredPortsKey, registered);
  bool loggerSeen = false;
  for (auto& d : devices) {
    if (d.identity.empty()) continue;
    reg.SetKey(DeviceKeyPath(d.identity), {{"PortName", d.portName}});
    // Any DORV logger answers the logger's own key (the first one found).
    if (!loggerSeen && SerialDeviceKind(d.identity) == "logger") {
      reg.SetKey(DeviceKeyPath(kLoggerIdentity), {{"PortName", d.portName}});
      loggerSeen = true;
    }
  }
}

std::string SerialDeviceKind(const std::string& identity) {
  if (identity == kGenericFtdiIdentity) return "converter";
  std::string serial = identity.size() > 18 ? identity.substr(18) : std::string();
  if (identity.rfind("VID_0403+PID_6001+", 0) == 0 && serial.rfind("DORV", 0) == 0) return "logger";
  return "other";
}

std::string UsbSerialNumber(const std::string& identity) {
  // "VID_0403+PID_6001+" is 18 characters; the port letter ends the rest.
  if (identity.size() < 20 || identity.rfind("VID_", 0) != 0 || identity[8] != '+' ||
      identity[17] != '+')
    return {};
  return identity.substr(18, identity.size() - 19);
}

int StableComNumber(const std::string& serial, const std::vector<int>& inUse) {
  // FNV-1a of the serial number picks a number in 20..99; a number already in
  // use moves to the next free one.
  unsigned h = 2166136261u;
  for (unsigned char c : serial) h = (h ^ c) * 16777619u;
  int n = 20 + static_cast<int>(h % 80);
  for (int tries = 0; tries < 80; ++tries) {
    if (std::find(inUse.begin(), inUse.end(), n) == inUse.end()) return n;
    n = n == 99 ? 20 : n + 1;
  }
  return 100 + static_cast<int>(inUse.size());
}

}  // namespace dorv::platform
