// The carried firmware image: made by its generator, sound, and a damaged one
// refused before anything is sent.
#include "operations/firmware_image.h"

#include <gtest/gtest.h>

#include "common/process.h"

namespace dorv::operations {
namespace {

TEST(FirmwareImage, CarriedImageIsTheGeneratorsAndSound) {
  auto lines = FirmwareImageLines();
  ASSERT_EQ(lines.size(), 3040u);
  EXPECT_EQ(CheckFirmwareImage(lines), "");
  EXPECT_EQ(lines[3036], ":0E00000015181800008991000FC00FE00F4086");
  EXPECT_EQ(lines[3035], ":020000040030CA");
  EXPECT_EQ(lines[3037], ":00000001FF");
  EXPECT_EQ(lines[3038], ";PIC18F87K90");
  EXPECT_EQ(lines[3039], "");
  // The committed file is exactly what the generator writes.
  testing::TempDir dir;
  auto r =
      testing::RunProcess({testing::BinDir() + "/dorv-gen-firmware", dir.path + "/fw.hex"}, "");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(testing::FileBytes(dir.path + "/fw.hex") ==
              testing::FileBytes(DORV_SOURCE_ROOT "/resources/firmware/PIC18F87K90.hex"));
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
}  // namespace dorv::operations
