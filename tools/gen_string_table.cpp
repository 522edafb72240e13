// Builds a "STR0" string table from its text source.
//   gen_string_table SOURCE.txt OUTPUT
// Source: one row a line, "id<TAB>text" (UTF-8); lines starting with '#' and
// empty lines are skipped; ids must ascend. Output: "STR0", the count, the
// index (id, offset from the table's start, length in UTF-16 units) and the
// UTF-16LE texts, all integers little-endian.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "base/utf8.h"

namespace {

void Put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>(v >> (8 * i) & 0xFF);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: gen_string_table SOURCE.txt OUTPUT\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::cerr << argv[1] << ": cannot open\n";
    return 1;
  }
  std::vector<std::pair<uint32_t, std::u16string>> rows;
  std::string line;
  for (int lineNo = 1; std::getline(in, line); ++lineNo) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    auto tab = line.find('\t');
    bool ok = tab != std::string::npos && tab > 0;
    uint32_t id = 0;
    for (std::size_t i = 0; ok && i < tab; ++i) {
      ok = line[i] >= '0' && line[i] <= '9';
      id = id * 10 + static_cast<uint32_t>(line[i] - '0');
    }
    if (ok && !rows.empty() && id <= rows.back().first) ok = false;
    std::u16string text;
    if (ok) {
      auto wide = dorv::base::Utf8ToUtf16Strict(line.substr(tab + 1));
      ok = wide.has_value();
      if (ok) text = std::move(*wide);
    }
    if (!ok) {
      std::cerr << argv[1] << ":" << lineNo << ": bad row (id<TAB>text, ids ascending)\n";
      return 1;
    }
    rows.emplace_back(id, std::move(text));
  }
  std::string out = "STR0";
  Put32(out, static_cast<uint32_t>(rows.size()));
  uint32_t offset = 8 + 12 * static_cast<uint32_t>(rows.size());
  for (auto& [id, text] : rows) {
    Put32(out, id);
    Put32(out, offset);
    Put32(out, static_cast<uint32_t>(text.size()));
    offset += 2 * static_cast<uint32_t>(text.size());
  }
  for (auto& [id, text] : rows)
    for (char16_t c : text) {
      out += static_cast<char>(c & 0xFF);
      out += static_cast<char>(c >> 8);
    }
  std::string tmp = std::string(argv[2]) + ".tmp";
  {
    std::ofstream o(tmp, std::ios::binary);
    o.write(out.data(), static_cast<std::streamsize>(out.size()));
    if (!o) {
      std::cerr << tmp << ": cannot write\n";
      return 1;
    }
  }
  if (std::rename(tmp.c_str(), argv[2]) == 0) return 0;
  // Windows renames only onto a free name.
  std::remove(argv[2]);
  return std::rename(tmp.c_str(), argv[2]) == 0 ? 0 : 1;
}
