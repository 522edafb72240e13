#include "platform/registry.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <fstream>

namespace dorv::platform {

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
    std::string serial = d.identity.size() > 18 ? d.identity.substr(18) : std::string();
    if (!loggerSeen && d.identity.rfind("VID_0403+PID_6001+", 0) == 0 &&
        serial.rfind("DORV", 0) == 0) {
      reg.SetKey(DeviceKeyPath(kLoggerIdentity), {{"PortName", d.portName}});
      loggerSeen = true;
    }
  }
}

namespace {

bool ProcessAlive(long pid) {
  return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM);
}

}  // namespace

std::vector<SerialDeviceInfo> ReadRegisteredPorts(const std::string& runtimeDir) {
  std::vector<SerialDeviceInfo> out;
  std::string dir = runtimeDir + "/ports";
  DIR* d = opendir(dir.c_str());
  if (!d) return out;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name.rfind("COM", 0) != 0 || name.size() < 4 ||
        name.find_first_not_of("0123456789", 3) != std::string::npos)
      continue;
    std::ifstream in(dir + "/" + name);
    SerialDeviceInfo info;
    info.portName = name;
    info.registered = true;
    long pid = 0;
    for (std::string line; std::getline(in, line);) {
      auto eq = line.find('=');
      if (eq == std::string::npos) continue;
      std::string k = line.substr(0, eq), v = line.substr(eq + 1);
      if (k == "device") info.device = v;
      if (k == "usb") info.identity = v;
      if (k == "pid") pid = std::atol(v.c_str());
    }
    struct stat st {};
    if (info.device.empty() || stat(info.device.c_str(), &st) != 0) continue;  // stale
    if (pid != 0 && !ProcessAlive(pid)) continue;                              // stale
    out.push_back(info);
  }
  closedir(d);
  std::sort(out.begin(), out.end(), [](auto& a, auto& b) {
    return std::atoi(a.portName.c_str() + 3) < std::atoi(b.portName.c_str() + 3);
  });
  return out;
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
