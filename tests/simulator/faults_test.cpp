// Misbehaviour on request.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "sim_harness.h"

namespace dorv::sim::test {
namespace {

std::string StatusOf(Options o) {
  RunningSimulator sim(std::move(o));
  auto port = sim.Connect();
  return port->Exchange("p");
}

TEST(Faults, NoPromptAfterTheNamedCommandOnly) {
  Options o;
  o.faults.no_prompt = {"p", "Ox"};
  RunningSimulator sim(o);
  auto port = sim.Connect();
  port->Write("p");
  const std::string status = port->ReadFor(500ms);
  EXPECT_NE(status.find("@w=W05\r\n"), std::string::npos);
  EXPECT_EQ(status.find('#'), std::string::npos);
  port->Write("Ox05");
  EXPECT_EQ(port->ReadFor(300ms), "");
  EXPECT_EQ(port->Exchange("m"), "DORV V1.00 ID01\r\n#");
  EXPECT_EQ(port->Exchange("Oy01"), "#");
}

TEST(Faults, EnqHoldsTheReplyUntilTheAck) {
  Options o;
  o.faults.enq = true;
  RunningSimulator sim(o);
  auto port = sim.Connect();
  port->Write("m");
  std::string got = port->ReadUntil([](const std::string& s) { return s.find('\x05') != s.npos; });
  ASSERT_NE(got.find('\x05'), std::string::npos);
  EXPECT_EQ(got.back(), '\x05');
  got += port->ReadFor(300ms);
  EXPECT_EQ(got.back(), '\x05') << "nothing may follow the ENQ before the ACK";
  port->Write("\x06");
  got += port->ReadReply();
  got.erase(std::remove(got.begin(), got.end(), '\x05'), got.end());
  EXPECT_EQ(got, "DORV V1.00 ID01\r\n#");
  EXPECT_EQ(sim.sim().MissedAcks(), 0);
}

TEST(Faults, EnqWithoutAckAbandonsTheReply) {
  Options o;
  o.faults.enq = true;
  RunningSimulator sim(o);
  auto port = sim.Connect();
  port->Write("p");
  const std::string got = port->ReadFor(3000ms);
  EXPECT_EQ(std::count(got.begin(), got.end(), '\x05'), 1);
  EXPECT_EQ(got.find('#'), std::string::npos);
  EXPECT_EQ(sim.sim().MissedAcks(), 1);
  // The logger listens again (a reply without lines carries no ENQ).
  port->Write("k1");
  EXPECT_EQ(port->ReadReply(), "#");
}

TEST(Faults, NegativeCount) {
  Options o;
  o.records = 77;
  o.faults.negative_count = true;
  EXPECT_NE(StatusOf(o).find("\r\n@C=  -77  72020\r\n"), std::string::npos);
}

TEST(Faults, IrregularRecordsRepeatATime) {
  Options o;
  o.records = 120;
  o.faults.irregular = true;
  RunningSimulator sim(o);
  auto port = sim.Connect();
  const auto lines = ReplyLines(port->Exchange("D"));
  ASSERT_EQ(lines.size(), 120u);
  // The time: bytes 0 to 3 without the tenths digit, and the centiseconds.
  auto time = [](const std::string& l) { return l.substr(0, 7) + l.substr(16, 2); };
  int repeats = 0;
  for (size_t i = 1; i < lines.size(); ++i) repeats += time(lines[i]) == time(lines[i - 1]);
  EXPECT_EQ(repeats, 2);
}

TEST(Faults, GarbageOnlyBetweenLines) {
  Options o;
  o.faults.garbage = true;
  const std::string noisy = StatusOf(o);
  const std::string clean = StatusOf(Options{});
  EXPECT_NE(noisy, clean);
  // Stray bytes follow a line end and are all of the kinds the utility skips.
  std::string stripped;
  for (size_t i = 0; i < noisy.size(); ++i) {
    const char c = noisy[i];
    if ((c == '!' || c == '?' || c == '\r') && !(c == '\r' && noisy[i + 1] == '\n')) {
      ASSERT_TRUE(i > 0 && (noisy[i - 1] == '\n' || noisy[i - 1] == '!' || noisy[i - 1] == '?' ||
                            noisy[i - 1] == '\r'))
          << "stray byte inside a line at " << i;
      continue;
    }
    stripped += c;
  }
  EXPECT_EQ(stripped, clean);
}

TEST(Faults, LongLineOpensTheStatusReply) {
  Options o;
  o.faults.long_line = 300;
  const auto lines = ReplyLines(StatusOf(o));
  ASSERT_GT(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), 300u);
  EXPECT_EQ(lines[1].substr(0, 3), "@M=");
}

TEST(Faults, UnplugCutsTheLineMidReplyAndRemovesTheRegistration) {
  Options o;
  o.faults.unplug_after = 100;
  RunningSimulator sim(o);
  const std::string registration = sim.sim().RegistrationPath();
  ASSERT_EQ(access(registration.c_str(), F_OK), 0);
  auto port = sim.Connect();
  EXPECT_EQ(port->Exchange("m"), "DORV V1.00 ID01\r\n#");  // 18 bytes
  port->Write("D");
  const std::string got = port->ReadUntil([](const std::string&) { return false; }, 5s);
  EXPECT_TRUE(port->Dead());
  EXPECT_EQ(got.size(), 82u);
  EXPECT_NE(access(registration.c_str(), F_OK), 0);
  EXPECT_NE(access(sim.device().c_str(), F_OK), 0);
}

}  // namespace
}  // namespace dorv::sim::test
