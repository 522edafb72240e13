// Finding the logger and connecting, through the real serial layer to the
// simulated logger.
#include <signal.h>

#include <thread>

#include "e2e/e2e.h"

namespace dorv::testing {
namespace {

TEST_F(E2E, ConnectFlowWakesTheLoggerAndReadsItsStatusTwice) {
  auto logger = StartLogger(7);
  auto r = Script(std::string(kConnected) +
                  "expect Form1.Caption == D-ORV KRB Updater 1.00\n"
                  "expect Form1.Edit3.Text == COM7\n"
                  "expect Form1.Edit5.Text == DORV\n"
                  "expect Form1.Button4.Caption == 接続\n"
                  "expect Form1.Image5.Visible == true\n"
                  "expect Form1.Image4.Visible == false\n"
                  "expect Form1.Button45.Visible == true\n"
                  "expect Form1.Label15.Caption == 2015\n"
                  "expect Form1.ComboBox2.Text ~ min\n"
                  "wait 1500\n"
                  "expect Form1.SerialPort1Open == 0\n");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  // One extra "m" at the first answer, then "p" at each of two prompts.
  EXPECT_EQ(Transcript(7, 4), (std::vector<std::string>{"m", "m", "p", "p"}));
}

TEST_F(E2E, ChoosesTheLoggerAmongSeveralPorts) {
  auto converter = StartLogger(3, {"--identity", "ftdi"});
  auto logger = StartLogger(7);
  auto r = Script(std::string(kConnected) +
                  "expect Form1.ListBox2.Items.Count == 2\n"
                  "expect Form1.ListBox2.Items[0] == COM3\n"
                  "expect Form1.Edit3.Text == COM7\n");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_TRUE(Transcript(3).empty());
  EXPECT_FALSE(Transcript(7).empty());
}

TEST_F(E2E, WithoutTheLoggerTheSearchSaysSoAndAConverterNeedsCheckBox1) {
  auto none = Script(
      "wait 2500\n"
      "expect Form1.Caption == Can't find a DORV KRB Updater 1.00\n"
      "expect Form1.Edit3.Text == No Port\n"
      "expect Form1.LoggerReady == 0\n");
  EXPECT_EQ(none.exitCode, 0) << none.out << none.err;

  auto converter = StartLogger(4, {"--identity", "ftdi"});
  auto r = Script(
      "wait 2500\n"
      "expect Form1.Caption == Serching D-ORV KRB Updater 1.00\n"
      "expect Form1.Image4.Visible == true\n"
      "expect Form1.LoggerReady == 0\n"
      "click Form1.CheckBox1\n" +
      std::string(kConnected) +
      "expect Form1.Edit3.Text == COM4\n"
      "expect Form1.Edit5.Text == FTDI\n"
      "expect Form1.Caption == D-ORV KRB Updater 1.00\n");
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(Transcript(4).at(0), "m");
}

TEST_F(E2E, UnpluggingTheLoggerIsNoticedAndANewOneConnects) {
  auto logger = StartLogger(7);
  std::unique_ptr<BackgroundProcess> again;
  // Pulled like a cable: the logger dies without removing its registration.
  std::thread puller([&] {
    std::this_thread::sleep_for(std::chrono::seconds(5));
    logger->Kill();
    std::this_thread::sleep_for(std::chrono::seconds(5));
    again = StartLogger(7);
  });
  auto r = Script(std::string(kConnected) +
                  "until Form1.Caption == Can't find a DORV KRB Updater 1.00 15000\n"
                  "expect Form1.LoggerReady == 0\n"
                  "expect Form1.Image4.Visible == true\n"
                  "until Form1.LoggerReady == 1 20000\n"
                  "expect Form1.Caption == D-ORV KRB Updater 1.00\n");
  puller.join();
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
}

}  // namespace
}  // namespace dorv::testing
