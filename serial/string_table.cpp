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

std::string Utf16ToUtf8(std::u16string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    uint32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
    uint32_t c = extra == 0 ? b : extra == 1 ? b & 0x1F : extra == 2 ? b & 0x0F : b & 0x07;
    bool ok = extra >= 0;
    for (int k = 1; ok && k <= extra; ++k) {
      if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
        ok = false;
      else
        c = c << 6 | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    }
    if (!ok) {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    i += extra + 1;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::string CutUtf8(std::string s, std::size_t maxBytes) {
  if (s.size() <= maxBytes) return s;
  std::size_t n = maxBytes;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  s.resize(n);
  return s;
}

}  // namespace dorv::serial
