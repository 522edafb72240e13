#include "simulator/options.h"

#include <charconv>
#include <limits>
#include <type_traits>

#include "simulator/recognizer.h"

namespace dorv::sim {

namespace {

template <class T>
bool ParseNumber(std::string_view text, T& value, T min, T max) {
  T v{};
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v < min || v > max) return false;
  value = v;
  return true;
}

}  // namespace

bool ParseFault(std::string_view text, Faults& f, std::string& error) {
  const size_t eq = text.find('=');
  const std::string_view name = text.substr(0, eq);
  const bool has_arg = eq != std::string_view::npos;
  const std::string_view arg = has_arg ? text.substr(eq + 1) : std::string_view{};
  auto flag = [&](bool& b) {
    if (has_arg) {
      error = "fault " + std::string(name) + " takes no argument";
      return false;
    }
    b = true;
    return true;
  };
  auto count = [&](auto& v, auto min) {
    using T = std::remove_reference_t<decltype(v)>;
    if (!has_arg || !ParseNumber<T>(arg, v, static_cast<T>(min), std::numeric_limits<T>::max())) {
      error = "fault " + std::string(name) + " needs a number of at least " + std::to_string(min);
      return false;
    }
    return true;
  };
  if (name == "no-prompt") {
    if (!has_arg || arg.empty()) {
      error = "fault no-prompt needs a command, e.g. no-prompt=p";
      return false;
    }
    f.no_prompt.push_back(UnescapeBytes(arg));
    return true;
  }
  if (name == "enq") return flag(f.enq);
  if (name == "negative-count") return flag(f.negative_count);
  if (name == "irregular") return flag(f.irregular);
  if (name == "no-final-M") return flag(f.no_final_m);
  if (name == "garbage") return flag(f.garbage);
  if (name == "drop-burst-rows") return count(f.drop_burst_rows, 1);
  if (name == "reject-hex-line") return count(f.reject_hex_line, 1);
  if (name == "unplug-after") return count(f.unplug_after, 0);
  if (name == "trail") return count(f.trail, 1);
  if (name == "flood") return count(f.flood, 1);
  if (name == "long-line") {
    if (!has_arg) {
      f.long_line = 200;
      return true;
    }
    return count(f.long_line, 1);
  }
  error = "unknown fault " + std::string(name);
  return false;
}

bool ParseCommandLine(int argc, const char* const* argv, Options& o, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    std::string_view opt = argv[i];
    std::string_view value;
    if (size_t eq = opt.find('='); opt.starts_with("--") && eq != std::string_view::npos) {
      value = opt.substr(eq + 1);
      opt = opt.substr(0, eq);
    } else if (opt == "--com" || opt == "--identity" || opt == "--serial" || opt == "--records" ||
               opt == "--seed" || opt == "--pace-baud" || opt == "--fault" ||
               opt == "--transcript") {
      if (i + 1 >= argc) {
        error = std::string(opt) + " needs a value";
        return false;
      }
      value = argv[++i];
    }
    auto bad = [&] {
      error = "bad value for " + std::string(opt) + ": " + std::string(value);
      return false;
    };
    if (opt == "--com") {
      if (!ParseNumber(value, o.com, 1, 255)) return bad();
    } else if (opt == "--identity") {
      if (value != "dorv" && value != "ftdi") return bad();
      o.ftdi_identity = value == "ftdi";
    } else if (opt == "--serial") {
      // Letters and digits as FTDI serial numbers have them; a "+" or a line
      // end would break the registration's identity.
      if (value.empty() || value.size() > 16 ||
          value.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789") != std::string_view::npos)
        return bad();
      o.serial = std::string(value);
    } else if (opt == "--records") {
      if (!ParseNumber(value, o.records, 0, kRecordCapacity)) return bad();
    } else if (opt == "--seed") {
      if (!ParseNumber<uint32_t>(value, o.seed, 0, UINT32_MAX)) return bad();
    } else if (opt == "--pace-baud") {
      if (!ParseNumber(value, o.pace_baud, 10, 4000000)) return bad();
    } else if (opt == "--fault") {
      if (!ParseFault(value, o.faults, error)) return false;
    } else if (opt == "--transcript") {
      if (value.empty()) return bad();
      o.transcript = std::string(value);
    } else {
      error = "unknown argument " + std::string(argv[i]);
      return false;
    }
  }
  return true;
}

}  // namespace dorv::sim
