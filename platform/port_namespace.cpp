#include "platform/port_namespace.h"

#include <map>
#include <mutex>

namespace dorv::platform {

namespace {
struct State {
  std::mutex mutex;
  std::map<int, std::string> ports;
  std::function<std::optional<std::string>(int)> fallback;
};
State& St() {
  static State s;
  return s;
}
}  // namespace

int PortNamespace::PortNumber(std::string_view name) {
  if (name.starts_with("\\\\.\\")) name.remove_prefix(4);
  if (!name.starts_with("COM") || name.size() == 3 || name.size() > 8) return 0;
  int n = 0;
  for (char c : name.substr(3)) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + (c - '0');
  }
  return n;
}

void PortNamespace::Register(int number, const std::string& path) {
  std::lock_guard<std::mutex> lock(St().mutex);
  St().ports[number] = path;
}

void PortNamespace::Unregister(int number) {
  std::lock_guard<std::mutex> lock(St().mutex);
  St().ports.erase(number);
}

void PortNamespace::Clear() {
  std::lock_guard<std::mutex> lock(St().mutex);
  St().ports.clear();
}

void PortNamespace::SetFallback(std::function<std::optional<std::string>(int)> fallback) {
  std::lock_guard<std::mutex> lock(St().mutex);
  St().fallback = std::move(fallback);
}

std::optional<std::string> PortNamespace::Resolve(std::string_view name) {
  if (name.starts_with("/")) return std::string(name);
  int n = PortNumber(name);
  if (n <= 0) return std::nullopt;
  std::function<std::optional<std::string>(int)> fallback;
  {
    std::lock_guard<std::mutex> lock(St().mutex);
    auto it = St().ports.find(n);
    if (it != St().ports.end()) return it->second;
    fallback = St().fallback;
  }
  if (fallback) return fallback(n);
  return std::nullopt;
}

}  // namespace dorv::platform
