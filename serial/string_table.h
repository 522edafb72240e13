#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/utf8.h"
#include "ui/exceptions.h"

namespace dorv::serial {

// A missing or malformed string table.
class EStringResourceError : public ui::Exception {
 public:
  using ui::Exception::Exception;
};

// Where string tables are looked up by name: a module's resources. An empty
// finder stands for no module, so the program's own resources are used.
using TResourceFinder = std::function<bool(std::string_view name, std::string_view& data)>;

// The program's own resources (the tables embedded at build time).
bool ProgramResource(std::string_view name, std::string_view& data);

// Reader of a "STR0" string table: a 4-byte magic, a count N, N index records
// (id, offset, length in UTF-16 units; sorted by id) and the UTF-16LE texts.
class TStringResource {
 public:
  // Opens the table NAME in module, else in the program's resources; raises
  // EStringResourceError when it is missing or malformed.
  TStringResource(const TResourceFinder& module, const std::string& name);

  void ChangeResource(const TResourceFinder& module, const std::string& name);

  // The text of id in the program's character set (UTF-8); "" when absent.
  std::string GetString(uint32_t id) const;
  // The text shortened by whole characters to fit size - 1 bytes, with a NUL.
  char* GetAsciiZ(uint32_t id, char* buffer, std::size_t size) const;
  // At most size - 1 UTF-16 units, with a NUL.
  char16_t* GetWideChar(uint32_t id, char16_t* buffer, std::size_t size) const;

  uint32_t Count() const { return count_; }

 private:
  // The UTF-16 text of id (found by bisection), empty when absent.
  std::u16string Lookup(uint32_t id) const;
  void Open(const TResourceFinder& module, const std::string& name);

  std::string_view data_;
  uint32_t count_ = 0;
};

// Formats the reader's own message (a row of "STRTABLE_STRINGS").
std::string StringTableMessage(uint32_t id, const std::string& arg);

using base::CutUtf8;
using base::Utf16ToUtf8;
using base::Utf8ToUtf16;

}  // namespace dorv::serial
