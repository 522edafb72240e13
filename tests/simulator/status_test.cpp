// Status, settings, clock and monitor replies, read as the utility reads them.
#include <gtest/gtest.h>

#include <map>

#include "sim_harness.h"

namespace dorv::sim::test {
namespace {

// Positions the utility reads from, counted from the "@".
size_t E(const std::string& line) {
  return line.find('=', 1);
}
size_t S(const std::string& line) {
  return line.find(' ', 1);
}
// Value g (0..2) of an "@A"/"@F" line: the character at s+3+6g and the two
// at s+6+6g and s+7+6g.
std::string Group(const std::string& line, int g) {
  const size_t s = S(line);
  if (s == std::string::npos || s + 7 + 6 * g >= line.size()) return "<short>";
  return {line[s + 3 + 6 * g], line[s + 6 + 6 * g], line[s + 7 + 6 * g]};
}
std::string From(const std::string& line, size_t at) {
  return at < line.size() ? line.substr(at) : "<short>";
}
std::string At(const std::string& line, size_t at, size_t n = 1) {
  return at + n <= line.size() ? line.substr(at, n) : "<short>";
}

// Status lines by code letter; the two "@A" lines as "Ah" and "A" + the
// character at s+1.
std::map<std::string, std::string> Status(Port& port) {
  std::map<std::string, std::string> by_code;
  const std::string reply = port.Exchange("p");
  EXPECT_EQ(reply.back(), '#');
  for (const std::string& line : ReplyLines(reply)) {
    EXPECT_LE(line.size(), 127u) << line;
    if (line.size() < 2 || line[0] != '@') {
      ADD_FAILURE() << "not a status line: " << line;
      continue;
    }
    std::string key(1, line[1]);
    if (key == "A") key += At(line, S(line) + 1);
    by_code[key] = line;
  }
  return by_code;
}

// Every field the utility reads, by the utility's own position rules.
std::map<std::string, std::string> Fields(Port& port) {
  auto st = Status(port);
  std::map<std::string, std::string> f;
  auto& m = st["M"];
  std::string digits;
  for (size_t i = E(m) + 2; i < m.size() && isdigit(static_cast<unsigned char>(m[i])); ++i)
    digits += m[i];
  f["M.digits"] = digits;
  f["M.unit"] = From(m.substr(0, E(m) + 2 + digits.size()), E(m) + 4);
  f["G.mode"] = At(st["G"], E(st["G"]) + 1);
  f["G.text"] = From(st["G"], S(st["G"]) + 1);
  f["Y"] = From(st["Y"], E(st["Y"]) + 1);
  f["C"] = From(st["C"], E(st["C"]) + 1);
  f["T"] = At(st["T"], E(st["T"]) + 4, 2);
  f["I"] = At(st["I"], E(st["I"]) + 1);
  f["R"] = At(st["R"], E(st["R"]) + 1);
  f["D"] = At(st["D"], E(st["D"]) + 1) + At(st["D"], E(st["D"]) + 3);
  f["W"] = At(st["W"], E(st["W"]) + 5);
  f["B"] = At(st["B"], E(st["B"]) + 5);
  f["s"] = At(st["s"], E(st["s"]) + 5);
  f["L"] = From(st["L"], E(st["L"]) + 4);
  f["w"] = From(st["w"], E(st["w"]) + 2);
  for (int g = 0; g < 3; ++g) {
    f["Ah" + std::to_string(g)] = Group(st["Ah"], g);
    f["F" + std::to_string(g)] = Group(st["F"], g);
  }
  // The other "@A" line: any mode character but "h".
  for (auto& [key, line] : st) {
    if (key.size() == 2 && key[0] == 'A' && key != "Ah")
      for (int g = 0; g < 3; ++g) f["A" + std::to_string(g)] = Group(line, g);
  }
  return f;
}

TEST(Status, EveryFieldSitsWhereTheUtilityReadsIt) {
  Options o;
  o.records = 1234;
  RunningSimulator sim(o);
  auto port = sim.Connect();
  const std::string hello = port->Exchange("m");
  ASSERT_EQ(ReplyLines(hello).size(), 1u) << hello;
  EXPECT_EQ(hello.substr(0, 5), "DORV ");

  auto f = Fields(*port);
  const std::map<std::string, std::string> expected = {
      {"M.digits", "1001"}, {"M.unit", "01"},
      {"G.mode", "1"},      {"G.text", "DR10 LCD7 N"},
      {"Y", "2015"},        {"C", "  1234  72020"},
      {"T", "10"},          {"I", "5"},
      {"R", "J"},           {"D", "20"},
      {"W", "0"},           {"B", "0"},
      {"s", "0"},           {"L", "0"},
      {"w", "05"},          {"Ah0", " 00"},
      {"Ah1", " 01"},       {"Ah2", " 00"},
      {"A0", " 00"},        {"A1", " 01"},
      {"A2", " 00"},        {"F0", " 00"},
      {"F1", " 00"},        {"F2", " 00"},
  };
  for (auto& [key, value] : expected) EXPECT_EQ(f[key], value) << "field " << key;
}

TEST(Status, SettingsAreShownBackByTheNextStatus) {
  RunningSimulator sim;
  auto port = sim.Connect();
  struct Row {
    std::string command, field, value;
  };
  const Row rows[] = {
      {"iC", "I", "C"},
      {"jc", "R", "c"},
      {"j^", "R", "^"},
      {"d45", "D", "45"},
      {"k1", "W", "1"},
      {"k0", "W", "0"},
      {"z1", "B", "1"},
      {"z0", "B", "0"},
      {"50", "T", "50"},
      {"02", "T", "02"},
      {"00", "T", "00"},
      {"Ox-03", "Ah0", "-03"},
      {"Oy00", "Ah1", " 00"},
      {"Oz01", "Ah2", " 01"},
      {"OX01", "A0", " 01"},
      {"OY123", "A1", "123"},
      {"OZ-07", "A2", "-07"},
      {"L-03", "L", "-3"},
      {"L12", "L", "12"},
      {"FX 12", "F0", " 12"},
      {"FY-05", "F1", "-05"},
      {"FZ7", "F2", " 07"},
      {"N05", "M.unit", "05"},
      {"w00", "w", "00"},
      {"q5", "G.text", "DR50 LCD7 N"},
      {"q8", "G.text", "DR50 LCD8 N"},
      {"b1", "G.text", "DR50 LCD8 L"},
      {"o", "s", "1"},
      {"f", "s", "0"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(port->Exchange(r.command), "#") << r.command;
    EXPECT_EQ(Fields(*port)[r.field], r.value) << "after " << r.command;
  }
  // The model code travels in "@M" too: 00 then unit 05.
  EXPECT_EQ(Fields(*port)["M.digits"], "0005");
}

TEST(Status, MalformedArgumentsAreRefusedAndChangeNothing) {
  RunningSimulator sim;
  auto port = sim.Connect();
  const auto before = Fields(*port);
  for (std::string bad : {"d4x", "jz", "iG", "N00", "Oy02", "FXabc", "s2015/13/01 00:00:00",
                          "l13/01 00:00", "kx", "A"}) {
    EXPECT_EQ(port->Exchange(bad), "?#") << bad;
  }
  EXPECT_EQ(Fields(*port), before);
}

TEST(Status, ClockAndReservedStart) {
  RunningSimulator sim;
  auto port = sim.Connect();
  // The reserved start as the utility sends it: clock, time, "f", "t".
  EXPECT_EQ(port->Exchange("s2015/03/04 05:06:07"), "#");
  EXPECT_EQ(Fields(*port)["s"], "1");  // setting the clock starts recording
  EXPECT_EQ(port->Exchange("l03/05 06:00"), "#");
  EXPECT_EQ(port->Exchange("f"), "#");
  auto lines = ReplyLines(port->Exchange("t"));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(0, 16), "2015/03/04 05:06");
  EXPECT_EQ(lines[1], "RSV 03/05 06:00");
  EXPECT_EQ(Fields(*port)["s"], "2");
  // "te" answers with the time as well; "f" without a new reservation sleeps.
  EXPECT_EQ(port->Exchange("o"), "#");
  EXPECT_EQ(port->Exchange("f"), "#");
  EXPECT_EQ(Fields(*port)["s"], "0");
  lines = ReplyLines(port->Exchange("te"));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].substr(0, 13), "2015/03/04 05");
}

TEST(Status, MonitorLineCarriesValuesWhereTheUtilityScans) {
  RunningSimulator sim;
  auto port = sim.Connect();
  for (int i = 0; i < 3; ++i) {
    auto lines = ReplyLines(port->Exchange("n"));
    ASSERT_EQ(lines.size(), 1u);
    const std::string& l = lines[0];
    // One "p", two characters before the temperature at index 32, which
    // runs to the end of the line; no other letter the utility scans for.
    ASSERT_EQ(l.find('p'), 30u) << l;
    EXPECT_EQ(l.rfind('p'), 30u) << l;
    EXPECT_EQ(l.size(), 37u) << l;
    double temp = std::stod(l.substr(32));
    EXPECT_GT(temp, 0.0);
    EXPECT_EQ(l[32 + 2], '.') << l;  // "dd.dd": the burst keeps one decimal of it
    for (char axis : {'X', 'Y', 'Z'}) {
      const size_t at = l.find(axis);
      ASSERT_NE(at, std::string::npos) << l;
      EXPECT_EQ(l.rfind(axis), at) << l;
      const int v = std::stoi(l.substr(at + 2, 5));
      EXPECT_GE(v, -20);
      EXPECT_LE(v, 20);
    }
  }
}

TEST(Status, PlainCommandsAreAnsweredWithThePrompt) {
  RunningSimulator sim;
  auto port = sim.Connect();
  for (std::string cmd :
       {"#", " ", "W", "Z", "Vp", "vp", "hAAA", "q7", "N01", "\x03\x06\x03\x06\x03", "b0"}) {
    EXPECT_EQ(port->Exchange(cmd), "#") << EscapeBytes(cmd);
  }
  // Several commands in a row without waiting are answered in order.
  port->Write("k1pm");
  std::string all = port->ReadUntil(
      [](const std::string& s) { return std::count(s.begin(), s.end(), '#') == 3; });
  EXPECT_EQ(all.substr(0, 4), "#@M=");
  EXPECT_NE(all.find("@W=DETC1"), std::string::npos);
  EXPECT_EQ(all.substr(all.size() - 18), "DORV V1.00 ID01\r\n#");
}

}  // namespace
}  // namespace dorv::sim::test
