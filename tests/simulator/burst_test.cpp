// The 5 ms burst behind "x".
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "sim_harness.h"

namespace dorv::sim::test {
namespace {

// Splits burst output into 8-byte rows; fails on a row of another shape.
std::vector<std::string> Rows(const std::string& bytes) {
  static const std::regex kRow("[g-z][0-9A-F]{6}\r");
  std::vector<std::string> rows;
  for (size_t i = 0; i + 8 <= bytes.size(); i += 8) {
    rows.push_back(bytes.substr(i, 8));
    EXPECT_TRUE(std::regex_match(rows.back(), kRow)) << EscapeBytes(rows.back());
  }
  return rows;
}

int Lead(const std::string& row) {
  return row[0] - 'g';
}

TEST(Burst, RowsAt200PerSecondUntilABlank) {
  RunningSimulator sim;
  auto port = sim.Connect();
  port->Write("x");
  const std::string start = port->ReadUntil([](const std::string& s) { return s.size() >= 8; });
  // Count over two seconds; the window is generous, not a speed figure.
  const std::string window = port->ReadFor(2000ms);
  const std::string all = start + window;
  const auto rows = Rows(all.substr(0, all.size() / 8 * 8));
  EXPECT_GE(rows.size(), 200u);
  EXPECT_LE(rows.size(), 450u);
  for (size_t i = 1; i < rows.size(); ++i)
    ASSERT_EQ(Lead(rows[i]), (Lead(rows[i - 1]) + 1) % 20) << "row " << i;

  // A blank ends the burst with the prompt; the logger answers again.
  port->Write(" ");
  const std::string tail = port->ReadReply(3s);
  ASSERT_FALSE(tail.empty());
  EXPECT_EQ(tail.back(), '#');
  EXPECT_EQ((tail.size() - 1 + all.size()) % 8, 0u) << "rows stay whole up to the prompt";
  EXPECT_EQ(port->ReadFor(100ms), "");
  EXPECT_EQ(port->Exchange("m"), "DORV V1.00 ID01\r\n#");
}

TEST(Burst, AnotherCommandEndsTheBurstAndIsCarriedOut) {
  RunningSimulator sim;
  auto port = sim.Connect();
  port->Write("x");
  port->ReadUntil([](const std::string& s) { return s.size() >= 80; });
  port->Write("m");
  const std::string rest = port->ReadUntil(
      [](const std::string& s) { return s.size() > 2 && s.substr(s.size() - 2) == "\n#"; });
  const size_t prompt = rest.find('#');
  ASSERT_NE(prompt, std::string::npos);
  EXPECT_EQ(rest.substr(prompt), "#DORV V1.00 ID01\r\n#");
}

TEST(Burst, FaultDropBurstRowsLeavesOutEveryKthRow) {
  Options o;
  o.faults.drop_burst_rows = 4;
  RunningSimulator sim(o);
  auto port = sim.Connect();
  port->Write("x");
  const std::string bytes =
      port->ReadUntil([](const std::string& s) { return s.size() >= 8 * 60; });
  port->Write(" ");
  const auto rows = Rows(bytes.substr(0, 8 * 60));
  // Row n carries the letter n mod 20; every fourth row (n mod 4 == 3) is missing.
  std::set<int> seen;
  for (const auto& r : rows) seen.insert(Lead(r) % 4);
  EXPECT_EQ(seen, (std::set<int>{0, 1, 2}));
}

}  // namespace
}  // namespace dorv::sim::test
