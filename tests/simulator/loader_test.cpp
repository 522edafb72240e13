// The firmware loader behind "e".
#include <gtest/gtest.h>

#include <cstdio>

#include "sim_harness.h"

namespace dorv::sim::test {
namespace {

// An Intel HEX record with the given fields and a correct checksum.
std::string HexRecord(int address, int type, const std::vector<int>& data) {
  std::vector<int> bytes = {static_cast<int>(data.size()), address >> 8 & 0xFF, address & 0xFF,
                            type};
  bytes.insert(bytes.end(), data.begin(), data.end());
  int sum = 0;
  for (int b : bytes) sum += b;
  bytes.push_back(-sum & 0xFF);
  std::string line = ":";
  char buf[3];
  for (int b : bytes) {
    std::snprintf(buf, sizeof buf, "%02X", b);
    line += buf;
  }
  return line;
}

// Answer to one loader line: the byte that comes back.
std::string Answer(Port& port, const std::string& line) {
  port.Write(line);
  return port.ReadUntil([](const std::string& s) { return !s.empty(); }, 3s);
}

void EnterLoader(Port& port) {
  const std::string ready = port.Exchange("e");
  ASSERT_FALSE(ready.empty());
  ASSERT_EQ(ready.back(), '#') << ready;
}

TEST(Loader, ChecksEachLineAndAnswersWithOneByte) {
  RunningSimulator sim;
  auto port = sim.Connect();
  EnterLoader(*port);
  const std::string good = HexRecord(0x0008, 0,
                                     {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0x11, 0x22,
                                      0x33, 0x44, 0x55, 0x66, 0x77, 0x88});
  std::string bad_sum = good;
  bad_sum.back() = bad_sum.back() == '0' ? '1' : '0';
  std::string bad_char = good;
  bad_char[12] = 'G';
  struct {
    std::string line, answer;
  } cases[] = {
      {HexRecord(0, 4, {0x00, 0x30}), "."},
      {good, "."},
      {"::" + good.substr(1), "!"},
      {bad_sum, "!"},
      {bad_char, "!"},
      {good.substr(0, 20), "!"},       // cut short
      {HexRecord(0, 1, {0, 0}), "!"},  // end-of-file record with data
      {HexRecord(0, 6, {}), "!"},      // unknown record type
      {";PIC18F87K90", "."},           // the image's comment line
      {HexRecord(0, 1, {}), "."},
  };
  for (auto& c : cases) EXPECT_EQ(Answer(*port, c.line), c.answer) << c.line;
}

TEST(Loader, RestartEndsWithMAndTheLoggerIsBack) {
  RunningSimulator sim;
  auto port = sim.Connect();
  EnterLoader(*port);
  EXPECT_EQ(Answer(*port, HexRecord(0, 1, {})), ".");
  port->Write("qs");
  std::string text =
      port->ReadUntil([](const std::string& s) { return !s.empty() && s.back() == 'M'; });
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), 'M');
  EXPECT_EQ(text.find('M'), text.size() - 1);  // the only "M"
  EXPECT_EQ(port->ReadFor(200ms), "");         // and nothing after it
  EXPECT_EQ(port->Exchange("m"), "DORV V1.00 ID01\r\n#");
}

TEST(Loader, LoggerCommandsStillWorkThere) {
  // The adjustment row sends "e" and then "q7" with a status request, and
  // "S" sends "p" right after "e": both need the logger's answers.
  RunningSimulator sim;
  auto port = sim.Connect();
  EnterLoader(*port);
  EXPECT_EQ(port->Exchange("q8"), "#");
  const std::string status = port->Exchange("p");
  EXPECT_NE(status.find("@G=1 DR10 LCD8 N\r\n"), std::string::npos) << status;
  EXPECT_EQ(Answer(*port, HexRecord(0, 1, {})), ".");
}

TEST(Loader, WakeUpLeavesTheLoader) {
  RunningSimulator sim;
  auto port = sim.Connect();
  EnterLoader(*port);
  EXPECT_EQ(port->Exchange("m"), "DORV V1.00 ID01\r\n#");
  EXPECT_EQ(port->Exchange(HexRecord(0, 1, {})), "?#");  // no longer a loader line
}

TEST(Loader, FaultRejectHexLineRefusesTheKthRecord) {
  Options o;
  o.faults.reject_hex_line = 2;
  RunningSimulator sim(o);
  auto port = sim.Connect();
  EnterLoader(*port);
  const std::string rec = HexRecord(0x10, 0, {1, 2, 3, 4});
  EXPECT_EQ(Answer(*port, rec), ".");
  EXPECT_EQ(Answer(*port, rec), "!");
  EXPECT_EQ(Answer(*port, ";PIC18F87K90"), ".");  // comments do not count
  EXPECT_EQ(Answer(*port, rec), ".");
}

TEST(Loader, FaultNoFinalMSendsNoM) {
  Options o;
  o.faults.no_final_m = true;
  RunningSimulator sim(o);
  auto port = sim.Connect();
  EnterLoader(*port);
  port->Write("qs");
  const std::string text = port->ReadFor(1500ms);
  EXPECT_NE(text.find("restart"), std::string::npos) << text;
  EXPECT_EQ(text.find('M'), std::string::npos) << text;
  // The logger is back all the same.
  EXPECT_EQ(port->Exchange("m"), "DORV V1.00 ID01\r\n#");
}

}  // namespace
}  // namespace dorv::sim::test
