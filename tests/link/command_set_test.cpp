#include "link/command_set.h"

#include <gtest/gtest.h>

#include "ui/exceptions.h"

namespace dorv::link {
namespace {

TEST(CommandSet, FormatSignedArg) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {{"7", "07"},   {"-7", "-07"}, {"0", "00"},   {"99", "99"},     {"123", "123"},
               {" 12", "12"}, {"12 ", "12"}, {"-3", "-03"}, {"-120", "-120"}, {"12\t", "12"}};
  for (auto& c : cases) EXPECT_EQ(FormatSignedArg(c.in), c.out) << c.in;
  for (const char* bad : {"1a", "", " ", "abc", "- 1"}) {
    try {
      FormatSignedArg(bad);
      ADD_FAILURE() << bad;
    } catch (const ui::EConvertError& e) {
      EXPECT_NE(std::string(e.what()).find("は整数ではありません"), std::string::npos);
    }
  }
  EXPECT_EQ(FormatSignedArg("-2147483648"), "-2147483648");  // no overflow at the edge
}

TEST(CommandSet, ToggleArg) {
  EXPECT_EQ(ToggleArg("ON"), "00");
  EXPECT_EQ(ToggleArg("ON "), "00");
  EXPECT_EQ(ToggleArg("on"), "01");
  EXPECT_EQ(ToggleArg("OFF"), "01");
  EXPECT_EQ(ToggleArg(""), "01");
}

}  // namespace
}  // namespace dorv::link
