// The stored recording: packing, generation and the download replies.
#include "simulator/records.h"

#include <gtest/gtest.h>

#include <set>

#include "sim_harness.h"

namespace dorv::sim::test {
namespace {

// Fields of a record, unpacked the way the record layout defines them.
struct Unpacked {
  int month, counter, day, hour, minute, second, tenths, x, y, z, t;
};
Unpacked Unpack(const Record& r) {
  const uint8_t* b = r.bytes;
  return {b[0] >> 4,
          (b[0] >> 2) & 3,
          (b[0] & 3) << 3 | b[1] >> 5,
          b[1] & 31,
          b[2] >> 2,
          (b[2] & 3) << 4 | b[3] >> 4,
          b[3] & 15,
          static_cast<int8_t>(b[4]),
          static_cast<int8_t>(b[5]),
          static_cast<int8_t>(b[6]),
          static_cast<int8_t>(b[7])};
}
// Time key of a record: like the utility's, without the year.
int64_t TimeKey(const Record& r) {
  Unpacked u = Unpack(r);
  return ((((static_cast<int64_t>(u.month) * 32 + u.day) * 24 + u.hour) * 60 + u.minute) * 60 +
          u.second) *
             1000 +
         r.centis * 10 + r.millis;
}

TEST(Records, PackingFollowsTheBitLayout) {
  Sample s;
  s.year = 2017;  // year counter 1
  s.month = 1, s.day = 11, s.hour = 7, s.minute = 35, s.second = 18, s.millisecond = 427;
  s.x = 1, s.y = -1, s.z = 64, s.temp_tenths = 230, s.extra = 0x10;
  Record r = PackRecord(s);
  EXPECT_EQ(EncodeRecord(r, false), "15678D2001FF40172A10");
  EXPECT_EQ(EncodeRecord(r, true), "15678D2001FF40172A107");
  r.centis = -1;
  EXPECT_EQ(EncodeRecord(r, true), "15678D2001FF4017");

  // Negative temperatures: one below the whole part, tenths unchanged.
  struct {
    int tenths;
    uint8_t b7, low;
  } temps[] = {{-24, 0xFD, 4}, {-4, 0xFF, 4}, {-10, 0xFE, 0}, {0, 0x00, 0}, {255, 0x19, 5}};
  for (auto t : temps) {
    s.temp_tenths = t.tenths;
    Record p = PackRecord(s);
    EXPECT_EQ(p.bytes[7], t.b7) << t.tenths;
    EXPECT_EQ(p.bytes[3] & 15, t.low) << t.tenths;
  }
}

TEST(Records, GeneratedRecordingCoversTheCalendarAndTemperatureCases) {
  const auto recs = GenerateRecording(1000, 7, false);
  ASSERT_EQ(recs.size(), 1000u);
  int month_changes = 0, year_changes = 0, below_minus_one = 0, between_zero_and_minus_one = 0;
  std::set<int> counters;
  for (size_t i = 0; i < recs.size(); ++i) {
    Unpacked u = Unpack(recs[i]);
    counters.insert(u.counter);
    EXPECT_GE(u.month, 1);
    EXPECT_LE(u.month, 12);
    EXPECT_LT(recs[i].centis, 100);
    if (u.t < -1) ++below_minus_one;
    if (u.t == -1 && u.tenths > 0) ++between_zero_and_minus_one;
    if (i == 0) continue;
    Unpacked p = Unpack(recs[i - 1]);
    if (u.month != p.month) ++month_changes;
    if (u.month < p.month) {
      ++year_changes;
    } else {
      EXPECT_GT(TimeKey(recs[i]), TimeKey(recs[i - 1])) << "record " << i;
    }
  }
  EXPECT_GE(month_changes, 2);
  EXPECT_EQ(year_changes, 1);
  EXPECT_GT(below_minus_one, 0);
  EXPECT_GT(between_zero_and_minus_one, 0);
  EXPECT_EQ(counters, (std::set<int>{3, 0}));  // 2015 and 2016: the counter wraps
  EXPECT_EQ(Unpack(recs[0]).month, 11);
}

TEST(Records, GenerationIsDeterministicFromTheSeed) {
  auto line = [](const std::vector<Record>& v, size_t i) { return EncodeRecord(v[i], true); };
  const auto a = GenerateRecording(300, 1, false), b = GenerateRecording(300, 1, false),
             c = GenerateRecording(300, 2, false);
  int differ = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(line(a, i), line(b, i));
    differ += line(a, i) != line(c, i);
  }
  EXPECT_GT(differ, 250);
  EXPECT_EQ(GenerateRecording(kRecordCapacity, 3, false).size(), size_t{kRecordCapacity});
  // Tiny recordings stay in the start year.
  for (int n = 1; n <= 2; ++n)
    for (const Record& r : GenerateRecording(n, 0, false)) EXPECT_EQ(Unpack(r).month, 11);
}

TEST(Records, IrregularRecordingRepeatsSomeTimes) {
  const auto recs = GenerateRecording(200, 4, true);
  int repeats = 0;
  for (size_t i = 1; i < recs.size(); ++i) repeats += TimeKey(recs[i]) == TimeKey(recs[i - 1]);
  EXPECT_EQ(repeats, 4);  // records 49, 99, 149, 199
}

TEST(Records, DownloadsSendOneRecordPerLine) {
  Options o;
  Record known;
  const uint8_t bytes[8] = {0x15, 0x67, 0x8D, 0x20, 0x01, 0xFF, 0x40, 0x17};
  std::copy(bytes, bytes + 8, known.bytes);
  Record full = known;
  full.centis = 0x2A, full.extra = 0x10, full.millis = 7;
  o.record_list = std::vector<Record>{known, full};
  RunningSimulator sim(o);
  auto port = sim.Connect();
  for (std::string cmd : {"D", "C", "G"}) {
    EXPECT_EQ(ReplyLines(port->Exchange(cmd)),
              (std::vector<std::string>{"15678D2001FF4017", "15678D2001FF40172A10"}))
        << cmd;
  }
  // In a millisecond sampling mode the millisecond digit follows.
  EXPECT_EQ(port->Exchange("iC"), "#");
  EXPECT_EQ(ReplyLines(port->Exchange("D"))[1], "15678D2001FF40172A107");
  EXPECT_NE(port->Exchange("p").find("@C=  2  72020\r\n"), std::string::npos);
}

TEST(Records, GeneratedDownloadMatchesTheCount) {
  Options o;
  o.records = 50;
  o.seed = 9;
  RunningSimulator sim(o);
  auto port = sim.Connect();
  const auto lines = ReplyLines(port->Exchange("D"));
  ASSERT_EQ(lines.size(), 50u);
  const auto expected = GenerateRecording(50, 9, false);
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], EncodeRecord(expected[i], false));
  const std::string status = port->Exchange("p");
  EXPECT_NE(status.find("@C=  50  72020\r\n"), std::string::npos);
  EXPECT_NE(status.find("@Y=2015\r\n"), std::string::npos);
}

}  // namespace
}  // namespace dorv::sim::test
