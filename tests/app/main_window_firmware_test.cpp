// Button39 in-process: which logger may receive which image, the Cancel of
// the first message, and a release image handed over line by line to a
// logger found over USB.
#include "common/forms_fixture.h"
#include "files/firmware_image.h"
#include "serial/pty_fixture.h"

namespace dorv::testing {
namespace {

// What the main window sends, one command per write, and what the logger
// answers.
class LoggerBytes : public app::ByteSource {
 public:
  std::string in;
  std::vector<std::string> sent;
  bool CharReady() override { return !in.empty(); }
  char GetChar() override {
    char c = in.front();
    in.erase(0, 1);
    return c;
  }
  void PutString(const std::string& s) override { sent.push_back(s); }
};

constexpr int kCom = 25;

class FirmwareUpdate : public FormsFixture {
 protected:
  serial::testing::PtyPeer peer{kCom};
  LoggerBytes logger;

  void SetUp() override {
    FormsFixture::SetUp();
    ASSERT_TRUE(peer.Ok());
    F().Bytes = &logger;
    F().SerialPort1->SetComNumber(kCom);
  }
  // The logger on COM25, found over USB or registered by the simulated
  // logger; the registry as the port search reads it.
  void LoggerOn(bool registered) {
    platform::SerialDeviceInfo d;
    d.portName = "COM" + std::to_string(kCom);
    d.device = peer.Path();
    d.identity = platform::kLoggerIdentity;
    d.registered = registered;
    platform::FillRegistry(*registry, {d});
  }
  void Answer(const std::string& a) {
    logger.in += a;
    F().SerialPort1TriggerAvail(static_cast<unsigned short>(a.size()));
  }
};

TEST_F(FirmwareUpdate, TestImageGoesToTheSimulatedLoggerOnlyAndCancelSendsNothing) {
  EXPECT_EQ(F().CarriesReleaseFirmware, files::FirmwareImageIsRelease());
  struct Case {
    const char* what;
    bool release, registered;
    const char* answer;  // to the first message, when it is shown
    bool sends, asks;
  } cases[] = {
      {"test image, USB", false, false, "", false, false},
      {"test image, simulated", false, true, "ok", true, true},
      {"test image, simulated, cancel", false, true, "cancel", false, true},
      {"release image, USB", true, false, "ok", true, true},
      {"release image, USB, cancel", true, false, "cancel", false, true},
  };
  const std::string ask = "ファームウェアの書き換えをします。終了するまで操作しないでください。";
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    F().CarriesReleaseFirmware = c.release;
    LoggerOn(c.registered);
    F().SerialPort1->SetOpen(false);
    F().FirmwareWait = app::TForm1::FirmwarePhase::Idle;
    F().Timer1->SetInterval(1000);
    logger.sent.clear();
    Modals().Clear();
    if (c.asks) Modals().QueueAnswer(c.answer);
    F().Button39Click();
    if (c.sends) {
      EXPECT_EQ(logger.sent, std::vector<std::string>{"e"});
      EXPECT_EQ(F().Timer1->Interval(), 0);
      EXPECT_EQ(F().SavedTimerInterval, 1000);
    } else {
      EXPECT_TRUE(logger.sent.empty());
      EXPECT_EQ(F().Timer1->Interval(), 1000);
      EXPECT_FALSE(F().SerialPort1->Open());
      EXPECT_EQ(F().FirmwareWait, app::TForm1::FirmwarePhase::Idle);
    }
    ASSERT_EQ(Modals().Messages().size(), 1u);
    const std::string& shown = Modals().Messages()[0];
    if (c.asks) {
      EXPECT_EQ(Modals().Shown()[0], "confirm: " + ask);
    } else {
      // The refusal says why and what to do, and asks nothing.
      EXPECT_NE(shown.find("リリース版のファームウェアが入っていない"), std::string::npos) << shown;
      EXPECT_NE(shown.find("COM25"), std::string::npos) << shown;
      EXPECT_NE(shown.find("DORV_FIRMWARE_IMAGE"), std::string::npos) << shown;
    }
  }
}

TEST_F(FirmwareUpdate, UnknownPortCountsAsUsb) {
  // No registry entry at all for the port (no search has run): refused.
  F().CarriesReleaseFirmware = false;
  F().Button39Click();
  EXPECT_TRUE(logger.sent.empty());
  ASSERT_EQ(Modals().Messages().size(), 1u);
  EXPECT_NE(Modals().Messages()[0].find("リリース版"), std::string::npos);
}

TEST_F(FirmwareUpdate, ReleaseImageIsHandedToAUsbLoggerLineByLine) {
  // A sound image other than the test image, standing in for a release.
  TempDir dir;
  auto r =
      RunProcess({BinDir() + "/dorv-gen-firmware", "--seed", "7", dir.path + "/release.hex"}, "");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  auto image = files::FirmwareImageLinesOf(FileBytes(dir.path + "/release.hex"));
  ASSERT_EQ(files::CheckFirmwareImage(image), "");
  ASSERT_NE(image, files::FirmwareImageLines());
  F().Memo2->SetLines(image);
  F().CarriesReleaseFirmware = true;
  LoggerOn(false);
  F().Timer1->SetInterval(1000);
  F().Button39Click();
  Answer("ab#");  // the loader's prompt after other characters
  for (int i = 0; i < 4000 && F().FirmwareUpdating == 1; ++i) Answer(".");
  Answer("M");
  std::vector<std::string> expected{"e"};
  expected.insert(expected.end(), image.begin(), image.end() - 1);  // not the empty last line
  expected.push_back("qs");
  expected.push_back("m");
  EXPECT_EQ(logger.sent.size(), expected.size());
  EXPECT_TRUE(logger.sent == expected);
  EXPECT_EQ(F().Timer1->Interval(), 1000);
  EXPECT_FALSE(F().ProgressBar1->Visible());
}

}  // namespace
}  // namespace dorv::testing
