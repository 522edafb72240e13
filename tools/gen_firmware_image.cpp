// Writes the firmware image the utility carries (resources/firmware/
// PIC18F87K90.hex): an Intel HEX text for the PIC18F87K90 made from a
// deterministic program image, with the record layout of the logger's
// firmware: the reset vector, the program memory up to 0xBD9D, the
// configuration words at 0x300000, the end record, the device comment and a
// final empty line. Usage: dorv-gen-firmware [--seed S] [OUTPUT]
// Another seed gives another program image of the same layout (tests use it
// as a stand-in for a release image).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Record(int type, unsigned addr, const std::vector<uint8_t>& data) {
  std::string s = ":";
  char buf[8];
  unsigned sum = 0;
  auto put = [&](unsigned b) {
    std::snprintf(buf, sizeof buf, "%02X", b & 0xFF);
    s += buf;
    sum += b & 0xFF;
  };
  put(static_cast<unsigned>(data.size()));
  put(addr >> 8);
  put(addr);
  put(static_cast<unsigned>(type));
  for (uint8_t b : data) put(b);
  put((0x100 - (sum & 0xFF)) & 0xFF);
  return s;
}

// The program image: a fixed pseudo-random sequence standing in for code.
struct Program {
  uint32_t state;
  uint8_t Next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<uint8_t>(state >> 8);
  }
  std::vector<uint8_t> Bytes(size_t n) {
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = Next();
    return v;
  }
};

}  // namespace

int main(int argc, char** argv) {
  uint32_t seed = 0x2545F491u;
  if (argc > 2 && std::strcmp(argv[1], "--seed") == 0) {
    seed = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 0));
    if (seed == 0) seed = 1;  // the generator never leaves 0
    argc -= 2;
    argv += 2;
  }
  std::vector<std::string> lines;
  Program prog{seed};
  // Reset vector: GOTO 0x000010 (two PIC18 instruction words).
  lines.push_back(Record(0, 0x0000, {0x08, 0xEF, 0x00, 0xF0}));
  // Program memory from 0x0008 to 0xBD9D: 8 bytes to reach a 16-byte
  // boundary, 3032 full records, and 14 bytes at the end.
  lines.push_back(Record(0, 0x0008, prog.Bytes(8)));
  unsigned addr = 0x0010;
  for (int i = 0; i < 3032; ++i, addr += 16) lines.push_back(Record(0, addr, prog.Bytes(16)));
  lines.push_back(Record(0, addr, prog.Bytes(14)));  // 0xBD90..0xBD9D
  // Configuration words at 0x300000..0x30000D.
  lines.push_back(Record(4, 0x0000, {0x00, 0x30}));
  lines.push_back(
      Record(0, 0x0000,
             {0x15, 0x18, 0x18, 0x00, 0x00, 0x89, 0x91, 0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}));
  lines.push_back(Record(1, 0x0000, {}));
  lines.push_back(";PIC18F87K90");
  lines.push_back("");

  FILE* out = argc > 1 ? std::fopen(argv[1], "wb") : stdout;
  if (!out) {
    std::perror(argv[1]);
    return 1;
  }
  for (auto& l : lines) std::fprintf(out, "%s\r\n", l.c_str());
  return (out == stdout ? std::fflush(out) : std::fclose(out)) == 0 ? 0 : 1;
}
