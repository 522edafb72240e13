// Checks the firmware image a build is to embed and copies it for embedding
// only when it is sound, so that a build cannot carry a damaged image.
// Usage: dorv-check-firmware IMAGE OUTPUT [TEST_IMAGE]
// With TEST_IMAGE (the generated test image), IMAGE is the maker's release
// image and must not be the test image under another name.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "files/firmware_image.h"

namespace {

bool ReadFile(const char* path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  out = s.str();
  return !in.bad();
}

const char* output = nullptr;

// Says why the image is refused and removes an output of an earlier run, so
// that no build goes on with an image older than the one it was given.
int Refuse(const char* image, const std::string& why) {
  std::fprintf(stderr, "firmware image %s: %s\n", image, why.c_str());
  if (output) std::remove(output);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: dorv-check-firmware IMAGE OUTPUT [TEST_IMAGE]\n");
    return 2;
  }
  const char* image = argv[1];
  output = argv[2];
  std::string text;
  if (!ReadFile(image, text)) return Refuse(image, "読み込めません");
  auto lines = dorv::files::FirmwareImageLinesOf(text);
  std::string problem = dorv::files::CheckFirmwareImage(lines);
  if (!problem.empty()) return Refuse(image, "ファームウェアのイメージが壊れています。" + problem);
  if (argc == 4) {
    std::string test;
    if (!ReadFile(argv[3], test)) return Refuse(argv[3], "読み込めません");
    if (dorv::files::FirmwareImageLinesOf(test) == lines)
      return Refuse(image,
                    "生成したテスト用のイメージです。メーカーのリリースイメージを指定してください");
  }
  // Written beside the output and renamed into place: a failed run leaves no
  // output behind, so the next build checks again.
  std::string tmp = std::string(output) + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) return Refuse(output, "書き込めません");
  }
  if (std::rename(tmp.c_str(), output) != 0) {
    // Windows renames only onto a free name.
    std::remove(output);
    if (std::rename(tmp.c_str(), output) != 0) return Refuse(output, "書き込めません");
  }
  return 0;
}
