#pragma once
#include <stdexcept>
#include <string>

namespace dorv::ui {

// The framework's exception class: its message (UTF-8) is what the
// application's exception display shows.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// Raised by StrToInt on a text that is not an integer.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// Raised when a control is given a property value it cannot hold.
class EInvalidOperation : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace dorv::ui
