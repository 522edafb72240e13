#include "resources/resources.h"

#include <stdexcept>

namespace dorv::resources {

std::string_view Get(std::string_view name) {
  std::string_view out;
  if (!Find(name, out)) throw std::runtime_error("missing resource " + std::string(name));
  return out;
}

}  // namespace dorv::resources
