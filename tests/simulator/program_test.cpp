// The dorv-logger-sim program: announcement, registration, signals,
// transcript, arguments and pacing.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "../common/process.h"
#include "sim_harness.h"

namespace dorv::sim::test {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream f(path);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

bool Exists(const std::string& path) {
  return access(path.c_str(), F_OK) == 0;
}

TEST(Program, RegistersServesAndUnregistersOnSigterm) {
  PrivateRuntimeDir dir;
  ChildSimulator child({"--com", "9"}, dir.path());
  std::smatch m;
  const std::string line = child.first_line();
  ASSERT_TRUE(std::regex_match(line, m, std::regex("COM9 (/dev/pts/[0-9]+)"))) << line;
  const std::string device = m[1];
  const std::string registration = dir.path() + "/ports/COM9";
  EXPECT_EQ(ReadFile(registration), "device=" + device + "\nusb=VID_0403+PID_6001+DORV0001A\npid=" +
                                        std::to_string(child.pid()) + "\n");
  {
    Port port(device);
    EXPECT_EQ(port.Exchange("m"), "DORV V1.00 ID01\r\n#");
    const std::string status = port.Exchange("p");
    EXPECT_EQ(status.substr(0, 3), "@M=");
    EXPECT_EQ(status.back(), '#');
    EXPECT_GE(ReplyLines(status).size(), 15u);
  }
  EXPECT_EQ(child.Stop(SIGTERM), 0);
  EXPECT_FALSE(Exists(registration));
}

TEST(Program, ACommandSentJustBeforeTheCloseIsNotAnsweredToTheNextOpener) {
  PrivateRuntimeDir dir;
  ChildSimulator child({"--com", "9"}, dir.path());
  const std::string device = child.first_line().substr(5);
  // The command is on the line before the simulator looks; then the port
  // closes. Its answer went into the closed port.
  kill(child.pid(), SIGSTOP);
  { Port(device).Write("p"); }
  kill(child.pid(), SIGCONT);
  usleep(300000);
  Port port(device);
  EXPECT_EQ(port.Exchange("m"), "DORV V1.00 ID01\r\n#");
}

TEST(Program, FtdiIdentityAndSigint) {
  PrivateRuntimeDir dir;
  ChildSimulator child({"--identity", "ftdi"}, dir.path());
  ASSERT_EQ(child.first_line().substr(0, 5), "COM7 ");
  const std::string registration = dir.path() + "/ports/COM7";
  EXPECT_NE(ReadFile(registration).find("\nusb=VID_0403+PID_6001+FTDI0001A\n"), std::string::npos);
  EXPECT_EQ(child.Stop(SIGINT), 0);
  EXPECT_FALSE(Exists(registration));
}

// Several simulated loggers side by side, each with its own serial number.
TEST(Program, SerialNumberOfItsOwn) {
  PrivateRuntimeDir dir;
  ChildSimulator child({"--com", "5", "--serial", "DORV1234"}, dir.path());
  ASSERT_EQ(child.first_line().substr(0, 5), "COM5 ");
  EXPECT_NE(ReadFile(dir.path() + "/ports/COM5").find("\nusb=VID_0403+PID_6001+DORV1234A\n"),
            std::string::npos);
}

TEST(Program, RefusesAPortHeldByALiveSimulator) {
  PrivateRuntimeDir dir;
  ChildSimulator first({"--com", "4"}, dir.path());
  ASSERT_FALSE(first.first_line().empty());
  auto second = testing::RunProcess({SimulatorProgram(), "--com", "4"}, "",
                                    {"DORV_RUNTIME_DIR=" + dir.path()}, 10000);
  EXPECT_EQ(second.exitCode, 1);
  EXPECT_NE(second.err.find("COM4"), std::string::npos) << second.err;
  EXPECT_TRUE(Exists(dir.path() + "/ports/COM4"));
}

TEST(Program, TranscriptWritesEachCommandOnALine) {
  PrivateRuntimeDir dir;
  const std::string transcript = dir.path() + "/transcript.txt";
  ChildSimulator child(
      {"--transcript", transcript, "--fault", "no-prompt=\\x03\\x06\\x03\\x06\\x03"}, dir.path());
  const std::string device = child.first_line().substr(5);
  {
    Port port(device);
    EXPECT_EQ(port.Exchange("m"), "DORV V1.00 ID01\r\n#");
    EXPECT_EQ(port.Exchange("Ox-03"), "#");
    port.Write("\x03\x06\x03\x06\x03");
    EXPECT_EQ(port.ReadFor(300ms), "");  // no prompt after the control bytes, as asked
    EXPECT_EQ(port.Exchange("s2015/03/04 05:06:07"), "#");
  }
  EXPECT_EQ(ReadFile(transcript), "m\nOx-03\n\\x03\\x06\\x03\\x06\\x03\ns2015/03/04 05:06:07\n");
  EXPECT_EQ(child.Stop(SIGTERM), 0);
}

TEST(Program, RejectsBadArguments) {
  const std::vector<std::vector<std::string>> bad = {
      {"--com", "x"},         {"--com"},
      {"--identity", "acme"}, {"--records", "72021"},
      {"--fault", "nosuch"},  {"--fault", "drop-burst-rows"},
      {"--fault", "enq=3"},   {"--pace-baud", "0"},
      {"--verbose"},          {"--serial", ""},
      {"--serial", "DORV+1"}, {"--serial", "dorv0001"},
  };
  for (const auto& args : bad) {
    std::vector<std::string> argv = {SimulatorProgram()};
    argv.insert(argv.end(), args.begin(), args.end());
    auto r = testing::RunProcess(argv, "", {}, 10000);
    EXPECT_EQ(r.exitCode, 2) << args[0];
    EXPECT_NE(r.err.find("usage:"), std::string::npos) << args[0];
    EXPECT_EQ(r.out, "") << args[0];
  }
}

TEST(Program, PacedLineIsNoFasterThanItsBaudRate) {
  // 1200 baud: 120 bytes per second each way. Lower bounds only.
  Options o;
  o.pace_baud = 1200;
  RunningSimulator sim(o);
  auto port = sim.Connect();
  auto start = std::chrono::steady_clock::now();
  const std::string status = port->Exchange("p", 20s);
  const double out_seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(status.back(), '#');
  EXPECT_GE(out_seconds, 0.8 * static_cast<double>(status.size()) / 120.0);

  // Six clock commands, 120 bytes, are taken in over about a second.
  std::string six;
  for (int i = 0; i < 6; ++i) six += "s2015/03/04 05:06:07";
  start = std::chrono::steady_clock::now();
  port->Write(six);
  const std::string prompts =
      port->ReadUntil([](const std::string& s) { return s == "######"; }, 20s);
  const double in_seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(prompts, "######");
  EXPECT_GE(in_seconds, 0.8);
}

}  // namespace
}  // namespace dorv::sim::test
