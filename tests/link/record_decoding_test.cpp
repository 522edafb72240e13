#include "link/record_decoding.h"

#include <gtest/gtest.h>

#include <vector>

namespace dorv::link {
namespace {

struct Decoded {
  std::string line;
  bool irregular;
};

std::vector<Decoded> DecodeAll(const std::vector<std::string>& records, int year = 2023,
                               int millis = 0) {
  RecordDecodeState st;
  std::vector<Decoded> out;
  for (auto& r : records) {
    app::FixedText<128> buf;
    buf.Set(r);
    bool irr = DecodeRecord(buf, year, millis, st);
    out.push_back({buf.Str(), irr});
  }
  return out;
}

TEST(RecordDecoding, DataLineForms) {
  struct Case {
    const char* record;
    int millis;
    const char* line;
  } cases[] = {
      // The example record: 2023/01/11 07:35:18, x 1, y -1, z 64, 23 degrees.
      {"15678D2001FF4017", 0, "2023/01/11 07:35:18.000,  1, -1, 64, 23.0"},
      {"15678D2001FF40FF", 0, "2023/01/11 07:35:18.000,  1, -1, 64, -0.0"},
      {"15678D2001FF40FD", 0, "2023/01/11 07:35:18.000,  1, -1, 64, -2.0"},
      // Centiseconds present: the tenths digit is character 7; with the extra value.
      {"15678D2501FF4017", 0, "2023/01/11 07:35:18.000,  1, -1, 64, 23.0"},
      {"15678D2501FF40170C", 0, "2023/01/11 07:35:18.120,  1, -1, 64, 23.5"},
      {"15678D2501FF40FD0C2A", 0, "2023/01/11 07:35:18.120,  1, -1, 64, -2.5,42"},
      {"15678D2501FF40FF0c2a", 0, "2023/01/11 07:35:18.120,  1, -1, 64, -0.5,42"},
      // The millisecond digit is read only in the millisecond modes.
      {"15678D2501FF40170C2A7", 1, "2023/01/11 07:35:18.127,  1, -1, 64, 23.5,42"},
      {"15678D2501FF40170C2A7", 0, "2023/01/11 07:35:18.120,  1, -1, 64, 23.5,42"},
  };
  for (auto& c : cases) {
    auto d = DecodeAll({c.record}, 2023, c.millis);
    EXPECT_EQ(d[0].line, c.line) << c.record;
    EXPECT_FALSE(d[0].irregular) << c.record;
  }
}

TEST(RecordDecoding, YearWrapAndRepeatability) {
  // December 31 23:59:59, then January 1 00:00:00 (the logger's epoch
  // counter steps with the year).
  std::vector<std::string> recs = {"C3F7EFB000000010", "1420000000000010"};
  auto first = DecodeAll(recs, 2015);
  EXPECT_EQ(first[0].line.substr(0, 19), "2015/12/31 23:59:59");
  EXPECT_EQ(first[1].line.substr(0, 19), "2016/01/01 00:00:00");
  EXPECT_FALSE(first[1].irregular);
  // A second download of the same records decodes to the same lines.
  auto second = DecodeAll(recs, 2015);
  EXPECT_EQ(first[0].line, second[0].line);
  EXPECT_EQ(first[1].line, second[1].line);
}

TEST(RecordDecoding, YearAtTheLargestNumberStays) {
  // The year comes from the logger's "@Y=" text; a month going back after
  // the largest year keeps it rather than overflowing.
  auto d = DecodeAll({"C3F7EFB000000010", "1420000000000010"}, 2147483647);
  EXPECT_EQ(d[0].line.substr(0, 16), "2147483647/12/31");
  EXPECT_EQ(d[1].line.substr(0, 16), "2147483647/01/01");
}

TEST(RecordDecoding, IrregularRecordsAreMarked) {
  // Same time twice: the second is marked; the flag stays set afterwards
  // while the later, advancing record is not marked itself.
  auto d = DecodeAll({"15678D2001FF4017", "15678D2001FF4017", "15678D3001FF4017"});
  EXPECT_FALSE(d[0].irregular);
  EXPECT_TRUE(d[1].irregular);
  EXPECT_EQ(d[1].line[0], kIrregularMark);
  EXPECT_EQ(d[1].line.substr(1, 18), "023/01/11 07:35:18");
  EXPECT_TRUE(d[2].irregular);
  EXPECT_EQ(d[2].line[0], '2');
  // Centiseconds of 100 or more flag the download without marking the line.
  auto c = DecodeAll({"15678D2001FF401764"});
  EXPECT_TRUE(c[0].irregular);
  EXPECT_EQ(c[0].line[0], '2');
}

TEST(RecordDecoding, EpochCounterWrapsOnceIntoASecondRange) {
  // Epoch 3, then 0: the date key keeps growing, so an earlier-looking time
  // on the wrapped epoch is not irregular.
  auto d = DecodeAll({"1D678D2001FF4017", "11678D1001FF4017"});
  EXPECT_FALSE(d[1].irregular);
}

TEST(RecordDecoding, ShortOrBrokenTextsStayInBounds) {
  for (const char* r : {"", "@", "ZZZZZZZZZZZZZZZZ", "@C=  1234  32000", "1567"}) {
    auto d = DecodeAll({r});
    EXPECT_LT(d[0].line.size(), 128u) << r;
  }
  std::string longRecord(127, 'F');
  auto d = DecodeAll({longRecord});
  EXPECT_FALSE(d[0].line.empty());
}

TEST(RecordDecoding, BurstRows) {
  EXPECT_EQ(BurstTemperatureText(std::string(32, 'x') + "25.43"), " 25.4");
  EXPECT_EQ(BurstTemperatureText(std::string(32, 'x') + "-12.5"), "-12.5");
  EXPECT_EQ(BurstTemperatureText("short"), "     ");
  EXPECT_EQ(BurstTemperatureText(std::string(32, 'x') + "7"), " 7   ");

  std::string prefix = "2015/03/04 05:06:";
  EXPECT_EQ(BurstLine(prefix, 1, "@01FF80", " 25.4"), "2015/03/04 05:06:00.005,  1, -1,-128, 25.4");
  EXPECT_EQ(BurstLine(prefix, 1, "@FF0180", " 25.4"), "2015/03/04 05:06:00.005, -1,  1,-128, 25.4");
  EXPECT_EQ(BurstLine(prefix, 200, "xff0180", "-12.5").substr(17, 6), "01.000");
  EXPECT_EQ(BurstLine(prefix, 12000, "x000000", "").substr(17, 6), "60.000");
  EXPECT_EQ(BurstLine(prefix, 71999, "x000000", "").substr(17, 7), "359.995");
  EXPECT_EQ(BurstLine(prefix, 3, "", " 20.0"), "2015/03/04 05:06:00.015,  0,  0,  0, 20.0");
}

}  // namespace
}  // namespace dorv::link
