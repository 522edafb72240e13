#include "serial/string_table.h"

#include <cstring>
#include <memory>

#include "resources/resources.h"

namespace dorv::serial {

namespace {

uint32_t Le32(std::string_view d, std::size_t at) {
  auto b = [&](std::size_t i) {
    return static_cast<uint32_t>(static_cast<unsigned char>(d[at + i]));
  };
  return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
}

// The reader of the reader's own messages; null while it cannot be opened.
const TStringResource* OwnMessages() {
  static const std::unique_ptr<TStringResource> table = []() -> std::unique_ptr<TStringResource> {
    std::string_view data;
    if (!ProgramResource("STRTABLE_STRINGS", data)) return nullptr;
    try {
      return std::make_unique<TStringResource>(TResourceFinder{}, "STRTABLE_STRINGS");
    } catch (const EStringResourceError&) {
      return nullptr;
    }
  }();
  return table.get();
}

}  // namespace

bool ProgramResource(std::string_view name, std::string_view& data) {
  return resources::Find("strings/" + std::string(name), data);
}

std::string StringTableMessage(uint32_t id, const std::string& arg) {
  // Used when the reader's own table cannot be read either.
  static const char* const kFallback[] = {"",
                                          "String not found: %d",
                                          "Cannot lock resource",
                                          "String resource not found: %s",
                                          "Unable to open string resource: %s",
                                          "Invalid string resource"};
  std::string fmt;
  if (const TStringResource* own = OwnMessages()) fmt = own->GetString(id);
  if (fmt.empty() && id < std::size(kFallback)) fmt = kFallback[id];
  for (const char* directive : {"%d", "%s"})
    if (auto p = fmt.find(directive); p != std::string::npos) fmt.replace(p, 2, arg);
  return fmt;
}

TStringResource::TStringResource(const TResourceFinder& module, const std::string& name) {
  Open(module, name);
}

void TStringResource::ChangeResource(const TResourceFinder& module, const std::string& name) {
  data_ = {};
  count_ = 0;
  Open(module, name);
}

void TStringResource::Open(const TResourceFinder& module, const std::string& name) {
  std::string_view d;
  bool found = module && module(name, d);
  if (!found) found = ProgramResource(name, d);
  if (!found) throw EStringResourceError(StringTableMessage(3, name));
  // Embedded data needs no loading or locking; check the layout instead, so
  // that no lookup can read outside the table.
  auto invalid = [] { return EStringResourceError(StringTableMessage(5, "")); };
  if (d.size() < 8 || d.substr(0, 4) != "STR0") throw invalid();
  uint32_t n = Le32(d, 4);
  if ((d.size() - 8) / 12 < n) throw invalid();
  for (uint32_t i = 0; i < n; ++i) {
    std::size_t rec = 8 + 12 * std::size_t{i};
    uint64_t off = Le32(d, rec + 4), len = Le32(d, rec + 8);
    if (off + 2 * len > d.size()) throw invalid();
    if (i > 0 && Le32(d, rec) <= Le32(d, rec - 12)) throw invalid();
  }
  data_ = d;
  count_ = n;
}

std::u16string TStringResource::Lookup(uint32_t id) const {
  int64_t low = 0, high = static_cast<int64_t>(count_) - 1;
  while (low <= high) {
    int64_t mid = (low + high) / 2;
    std::size_t rec = 8 + 12 * static_cast<std::size_t>(mid);
    uint32_t key = Le32(data_, rec);
    if (key == id) {
      uint32_t off = Le32(data_, rec + 4), len = Le32(data_, rec + 8);
      std::u16string s(len, u'\0');
      for (uint32_t i = 0; i < len; ++i)
        s[i] = static_cast<char16_t>(static_cast<unsigned char>(data_[off + 2 * i]) |
                                     static_cast<unsigned char>(data_[off + 2 * i + 1]) << 8);
      return s;
    }
    if (key < id)
      low = mid + 1;
    else
      high = mid - 1;
  }
  return {};
}

std::string TStringResource::GetString(uint32_t id) const {
  return Utf16ToUtf8(Lookup(id));
}

char* TStringResource::GetAsciiZ(uint32_t id, char* buffer, std::size_t size) const {
  if (size == 0) return buffer;
  std::string s = CutUtf8(GetString(id), size - 1);
  std::memcpy(buffer, s.data(), s.size());
  buffer[s.size()] = '\0';
  return buffer;
}

char16_t* TStringResource::GetWideChar(uint32_t id, char16_t* buffer, std::size_t size) const {
  if (size == 0) return buffer;
  std::u16string s = Lookup(id);
  std::size_t n = std::min(s.size(), size - 1);
  std::memcpy(buffer, s.data(), n * sizeof(char16_t));
  buffer[n] = u'\0';
  return buffer;
}

}  // namespace dorv::serial
