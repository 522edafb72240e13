// The system registry on Linux: USB serial devices through libserialport,
// plus the ports registered in the runtime directory.
#include <libserialport.h>

#include <cstdio>

#include "platform/registry.h"
#include "platform/runtime_dir.h"

namespace dorv::platform {

namespace {

struct RealDevice {
  std::string device, serial;
  int vid, pid;
};

std::vector<RealDevice> ListUsbFtdi() {
  std::vector<RealDevice> out;
  sp_port** ports = nullptr;
  if (sp_list_ports(&ports) != SP_OK) return out;
  for (int i = 0; ports[i]; ++i) {
    if (sp_get_port_transport(ports[i]) != SP_TRANSPORT_USB) continue;
    int vid = 0, pid = 0;
    if (sp_get_port_usb_vid_pid(ports[i], &vid, &pid) != SP_OK || vid != 0x0403) continue;
    const char* serial = sp_get_port_usb_serial(ports[i]);
    const char* name = sp_get_port_name(ports[i]);
    if (!name) continue;
    out.push_back({name, serial ? serial : "", vid, pid});
  }
  sp_free_port_list(ports);
  return out;
}

class SystemRegistry : public Registry {
 public:
  bool OpenKeyReadOnly(const std::string& path) override {
    // Every search starts at the serial-port map, and a question about the
    // registered ports needs the present ones: take a fresh snapshot there.
    if (path == kSerialCommKey || path == kRegisteredPortsKey)
      FillRegistry(snapshot_, ListSerialDevices());
    return snapshot_.OpenKeyReadOnly(path);
  }
  std::vector<std::string> GetValueNames() override { return snapshot_.GetValueNames(); }
  std::string ReadString(const std::string& name) override { return snapshot_.ReadString(name); }
  void CloseKey() override { snapshot_.CloseKey(); }

 private:
  MemoryRegistry snapshot_;
};

}  // namespace

std::vector<SerialDeviceInfo> ListSerialDevices() {
  std::vector<SerialDeviceInfo> out;
  try {
    out = ReadRegisteredPorts(RuntimeDir());
  } catch (...) {
    // No runtime directory: only real devices.
  }
  std::vector<int> inUse;
  for (auto& d : out) inUse.push_back(std::atoi(d.portName.c_str() + 3));
  for (auto& r : ListUsbFtdi()) {
    SerialDeviceInfo info;
    int n = StableComNumber(r.serial, inUse);
    inUse.push_back(n);
    info.portName = "COM" + std::to_string(n);
    info.device = r.device;
    char ids[40];
    std::snprintf(ids, sizeof ids, "VID_%04X+PID_%04X+", r.vid, r.pid);
    // FTDI's enumeration form appends the port letter to the serial number.
    info.identity = std::string(ids) + r.serial + "A";
    out.push_back(info);
  }
  KeepRestrictedSerialDevices(out);
  return out;
}

std::unique_ptr<Registry> CreateSystemRegistry() {
  return std::make_unique<SystemRegistry>();
}

}  // namespace dorv::platform
