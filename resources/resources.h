#pragma once
#include <string>
#include <string_view>

namespace dorv::resources {

// A file embedded at build time, by its path below resources/ (for example
// "forms/Form1.json"). False when there is none of that name.
bool Find(std::string_view name, std::string_view& out);

// The same; throws std::runtime_error when missing.
std::string_view Get(std::string_view name);

}  // namespace dorv::resources
