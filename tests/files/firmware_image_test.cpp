// The carried firmware image: the one the build was given (by default the
// generator's), sound; the build's check of it; and a damaged one refused
// before anything is sent.
#include "files/firmware_image.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "common/process.h"

namespace dorv::files {
namespace {

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(FirmwareImage, CarriedImageIsTheOneGivenToTheBuildAndSound) {
  auto lines = FirmwareImageLines();
  ASSERT_EQ(lines.size(), 3040u);
  EXPECT_EQ(CheckFirmwareImage(lines), "");
  EXPECT_EQ(lines[3035], ":020000040030CA");
  EXPECT_EQ(lines[3037], ":00000001FF");
  EXPECT_EQ(lines[3038], ";PIC18F87K90");
  EXPECT_EQ(lines[3039], "");
  EXPECT_TRUE(lines == FirmwareImageLinesOf(testing::FileBytes(DORV_EMBEDDED_FIRMWARE)));
  // The repository's image is exactly what the generator writes; a build
  // carries it unless given the maker's image, and knows which one it has.
  const std::string committed = DORV_SOURCE_ROOT "/resources/firmware/PIC18F87K90.hex";
  EXPECT_EQ(FirmwareImageIsRelease(), std::string(DORV_EMBEDDED_FIRMWARE) != committed);
  testing::TempDir dir;
  auto r =
      testing::RunProcess({testing::BinDir() + "/dorv-gen-firmware", dir.path + "/fw.hex"}, "");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(testing::FileBytes(dir.path + "/fw.hex") == testing::FileBytes(committed));
  auto test = FirmwareImageLinesOf(testing::FileBytes(committed));
  EXPECT_EQ(test[3036], ":0E00000015181800008991000FC00FE00F4086");
}

TEST(FirmwareImage, BuildCheckCopiesOnlyASoundReleaseImage) {
  testing::TempDir dir;
  const std::string committed = DORV_SOURCE_ROOT "/resources/firmware/PIC18F87K90.hex";
  const std::string check = testing::BinDir() + "/dorv-check-firmware";
  const std::string out = dir.path + "/out.hex";
  auto r = testing::RunProcess(
      {testing::BinDir() + "/dorv-gen-firmware", "--seed", "7", dir.path + "/release.hex"}, "");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // Line ends as an editor may leave them: LF only, and no empty last line
  // (which the image must have).
  std::string lf = testing::FileBytes(dir.path + "/release.hex");
  std::erase(lf, '\r');
  WriteFile(dir.path + "/lf.hex", lf);
  WriteFile(dir.path + "/short.hex", lf.substr(0, lf.size() - 1));
  std::string bad = testing::FileBytes(dir.path + "/release.hex");
  bad.replace(bad.find(":020000040030CA"), 15, ":020000040030CB");
  WriteFile(dir.path + "/bad.hex", bad);
  struct Case {
    std::string image;
    bool release;  // given the test image to compare with
    const char* refusal;
  } cases[] = {
      {committed, false, nullptr},
      {dir.path + "/release.hex", true, nullptr},
      {dir.path + "/lf.hex", true, nullptr},
      {dir.path + "/short.hex", true, "行数が違います (3039)"},
      {dir.path + "/bad.hex", true, "行 3036: チェックサムが違います"},
      {committed, true, "生成したテスト用のイメージです"},
      {dir.path + "/missing.hex", true, "読み込めません"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.image);
    WriteFile(out, "earlier");
    std::vector<std::string> argv{check, c.image, out};
    if (c.release) argv.push_back(committed);
    auto run = testing::RunProcess(argv, "");
    if (!c.refusal) {
      EXPECT_EQ(run.exitCode, 0) << run.err;
      EXPECT_TRUE(testing::FileBytes(out) == testing::FileBytes(c.image));
    } else {
      EXPECT_NE(run.exitCode, 0);
      EXPECT_NE(run.err.find(c.refusal), std::string::npos) << run.err;
      EXPECT_NE(access(out.c_str(), F_OK), 0) << "output left behind";
    }
  }
}

TEST(FirmwareImage, DamagedImagesAreRefused) {
  const auto good = FirmwareImageLines();
  struct Case {
    const char* what;
    std::function<void(std::vector<std::string>&)> damage;
  } cases[] = {
      {"checksum", [](auto& l) { l[100].back() = l[100].back() == '0' ? '1' : '0'; }},
      {"hex digit", [](auto& l) { l[7][12] = 'G'; }},
      {"length", [](auto& l) { l[9].pop_back(); }},
      {"missing colon", [](auto& l) { l[3][0] = ';'; }},
      {"lost line", [](auto& l) { l.erase(l.begin() + 500); }},
      {"no end record", [](auto& l) { l[3037] = ":00000001FE"; }},
      {"no comment", [](auto& l) { l[3038] = ";PIC18F87K22"; }},
      {"last line", [](auto& l) { l[3039] = "x"; }},
      {"two data lines swapped for one long", [](auto& l) { l[2] = l[1]; }},
  };
  for (auto& c : cases) {
    auto lines = good;
    c.damage(lines);
    EXPECT_NE(CheckFirmwareImage(lines), "") << c.what;
  }
}

}  // namespace
}  // namespace dorv::files
