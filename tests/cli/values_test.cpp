// The command line's value checks: what `set`, `reserve` and `burst` accept
// before any logger is touched, and what they turn it into.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "tools/dorv_values.h"

namespace dorv::cli {
namespace {

TEST(CliValues, SettingValues) {
  struct {
    const char* name;
    const char* value;
    const char* out;  // nullptr: refused
  } cases[] = {
      {"interval", "30min", "30min"},
      {"interval", "1sec", "1sec"},
      {"interval", "7min", nullptr},
      {"interval", "30MIN", nullptr},
      {"sampling", "Real(32Hz)", "Real(32Hz)"},
      {"sampling", "abc", nullptr},
      {"threshold", "5", "05"},
      {"threshold", "05", "05"},
      {"threshold", "98", "98"},
      {"threshold", "99", nullptr},
      {"threshold", "-1", nullptr},
      {"threshold", "5x", nullptr},
      {"threshold", "", nullptr},
      {"buzzer", "on", "on"},
      {"buzzer", "ON", nullptr},
      {"detection", "off", "off"},
      {"model", "02", "02"},
      {"model", "2", nullptr},
      {"unit", "7", "07"},
      {"unit", "0", nullptr},
      {"unit", "100", nullptr},
      {"wait", "0", "00"},
      {"hazard", "-3", "-3"},
      {"hazard", "+12", "12"},
      {"hazard", "1000", nullptr},
      {"low-temp", "-999", "-999"},
      {"gravity", "yes", nullptr},
  };
  for (auto& c : cases) {
    const SettingInfo* s = FindSetting(c.name);
    ASSERT_NE(s, nullptr) << c.name;
    std::string out, error;
    bool ok = NormaliseSetting(*s, c.value, out, error);
    EXPECT_EQ(ok, c.out != nullptr) << c.name << " " << c.value;
    if (ok) {
      EXPECT_EQ(out, c.out) << c.name << " " << c.value;
    } else {
      // The message names the setting and what it takes.
      EXPECT_NE(error.find(c.name), std::string::npos) << error;
      EXPECT_NE(error.find(AllowedValues(*s)), std::string::npos) << error;
    }
  }
  EXPECT_EQ(FindSetting("volume"), nullptr);
}

// Local times of a fixed zone, so that the cases do not move with the
// machine's.
class Reservation : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
  }
  static std::time_t At(int y, int mo, int d, int h, int mi, int s = 0) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    return timegm(&tm);
  }
};

TEST_F(Reservation, DateTimeAndRange) {
  const std::time_t now = At(2026, 12, 10, 9, 30, 15);
  struct {
    const char* text;
    const char* out;      // nullptr: refused
    const char* because;  // part of the message when refused
  } cases[] = {
      {"2026/12/10 10:00", "12/10 10:00", ""},
      {"2027/01/05 08:00", "01/05 08:00", ""},  // next year: the logger's own choice
      {"2026/12/10 09:31", "12/10 09:31", ""},
      {"2026/12/10 09:30", nullptr, "not in the future"},  // the minute under way
      {"2026/12/09 10:00", nullptr, "not in the future"},
      {"2027/12/10 09:31", nullptr, "a year or more"},
      {"2027/12/10 09:30", "12/10 09:30", ""},  // this minute next year
      {"2027/12/10 09:29", "12/10 09:29", ""},
      {"2027/02/29 10:00", nullptr, "その日は指定できません"},
      {"2027/04/31 10:00", nullptr, "その日は指定できません"},
      {"2026/12/10 24:00", nullptr, "no such date"},
      {"2026/12/10 10:60", nullptr, "no such date"},
      {"2026/12/10 10:00 ", nullptr, "yyyy/mm/dd hh:mm"},
      {"2026-12-10 10:00", nullptr, "yyyy/mm/dd hh:mm"},
      {"12/10 10:00", nullptr, "yyyy/mm/dd hh:mm"},
      {"", nullptr, "yyyy/mm/dd hh:mm"},
  };
  for (auto& c : cases) {
    std::string out, error;
    bool ok = ParseReservation(c.text, now, out, error);
    EXPECT_EQ(ok, c.out != nullptr) << c.text << ": " << error;
    if (ok) {
      EXPECT_EQ(out, c.out) << c.text;
    } else {
      EXPECT_NE(error.find(c.because), std::string::npos) << c.text << ": " << error;
    }
  }
  // A leap day exists in a leap year.
  std::string out, error;
  EXPECT_TRUE(ParseReservation("2028/02/29 10:00", At(2027, 12, 1, 0, 0), out, error)) << error;
  EXPECT_EQ(out, "02/29 10:00");
}

TEST(CliValues, BurstSeconds) {
  struct {
    const char* text;
    int seconds;  // 0: refused
  } cases[] = {{"5", 5},   {"360", 360}, {"30", 30}, {"4", 0},
               {"361", 0}, {"abc", 0},   {"10s", 0}, {"", 0}};
  for (auto& c : cases) {
    int seconds = 0;
    std::string error;
    EXPECT_EQ(ParseBurstSeconds(c.text, seconds, error), c.seconds != 0) << c.text;
    if (c.seconds) {
      EXPECT_EQ(seconds, c.seconds);
    }
  }
}

}  // namespace
}  // namespace dorv::cli
