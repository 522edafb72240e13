// The compact stores behind the document and the graph: a memo's lines in
// one buffer, and zero-started arrays.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/line_store.h"
#include "ui/zeroed_array.h"

namespace dorv::ui {
namespace {

using Lines = std::vector<std::string>;

TEST(LineStore, KeepsEveryLineAcrossAddsAndReplacements) {
  LineStore s;
  for (const char* l : {"alpha", "", "\x81\x40 cp932", "delta"}) s.PushBack(l);
  EXPECT_EQ(s.ToVector(), (Lines{"alpha", "", "\x81\x40 cp932", "delta"}));
  // A replacement longer, shorter and empty, first, middle and last: the
  // lines after it keep their text.
  struct Case {
    size_t index;
    const char* text;
    Lines expected;
  } cases[] = {
      {1, "a longer second line", {"alpha", "a longer second line", "\x81\x40 cp932", "delta"}},
      {0, "a", {"a", "a longer second line", "\x81\x40 cp932", "delta"}},
      {3, "", {"a", "a longer second line", "\x81\x40 cp932", ""}},
      {2, "c", {"a", "a longer second line", "c", ""}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.index);
    s.Set(c.index, c.text);
    EXPECT_EQ(s.ToVector(), c.expected);
  }
  s.PushBack("e");
  EXPECT_EQ(s.size(), 5u);
  EXPECT_EQ(s[4], "e");
  EXPECT_THROW(s.at(5), std::out_of_range);
  EXPECT_THROW(s.Set(5, "x"), std::out_of_range);
  s.Assign({"x", "y"});
  EXPECT_EQ(s.ToVector(), (Lines{"x", "y"}));
  s.Clear();
  EXPECT_TRUE(s.empty());
}

TEST(LineStore, MemoKeepsItsLinesAndReportsThemAsBefore) {
  TMemo memo("Memo");
  memo.SetLines(Lines{"one", "two"});
  memo.Add("three");
  memo.SetLine(0, "first");
  EXPECT_EQ(memo.Count(), 3);
  EXPECT_EQ(memo.Line(0), "first");
  EXPECT_THROW(memo.Line(3), std::out_of_range);
  std::string out;
  ASSERT_TRUE(memo.GetProperty("Text", out));
  EXPECT_EQ(out, "first\r\ntwo\r\nthree\r\n");
  ASSERT_TRUE(memo.GetProperty("Lines[2]", out));
  EXPECT_EQ(out, "three");
  ASSERT_TRUE(memo.GetProperty("Lines[3]", out));
  EXPECT_EQ(out, "");
}

TEST(ZeroedArray, StartsAtZeroAndClearsWhatWasWritten) {
  ZeroedArray<std::array<char, 20>> rows(70000);
  ZeroedArray<long long> values(70000);
  for (size_t i = 0; i < values.size(); ++i) ASSERT_EQ(values[i], 0) << i;
  EXPECT_EQ(rows[69999], (std::array<char, 20>{}));
  // Writes at the ends and across a page edge, then cleared.
  for (size_t i : {size_t{0}, size_t{511}, size_t{512}, size_t{69999}}) values[i] = -1;
  rows[3][19] = 'x';
  values.Clear();
  rows.Clear();
  for (size_t i = 0; i < values.size(); ++i) ASSERT_EQ(values[i], 0) << i;
  EXPECT_EQ(rows[3], (std::array<char, 20>{}));
}

}  // namespace
}  // namespace dorv::ui
