// The reply watchdog is armed only while an exchange is open: an idle
// program has no timer waking it for the watchdog.
#include "common/forms_fixture.h"
#include "serial/pty_fixture.h"

namespace dorv::testing {
namespace {

constexpr int kCom = 26;

class Watchdog : public FormsFixture {
 protected:
  serial::testing::PtyPeer peer{kCom};

  void SetUp() override {
    FormsFixture::SetUp();
    ASSERT_TRUE(peer.Ok());
    F().SerialPort1->SetComNumber(kCom);
  }
  bool Armed() { return F().ReplyWatchdog->Enabled(); }
};

TEST_F(Watchdog, ArmedFromThePortsOpeningToTheEndOfTheExchange) {
  EXPECT_FALSE(Armed()) << "idle after start-up";
  F().SerialPort1->SetOpen(true);
  EXPECT_TRUE(Armed());
  F().SerialPort1->SetOpen(false);
  EXPECT_FALSE(Armed());

  // A monitor request outlives a close of the port by the tick: it stays
  // watched until it ends, and the watchdog's next tick then disarms it.
  F().SerialPort1->SetOpen(true);
  F().MonitorRequestOpen = 1;
  F().SerialPort1->SetOpen(false);
  EXPECT_TRUE(Armed());
  F().ReplyWatchdog->Fire();
  EXPECT_TRUE(Armed());
  F().MonitorRequestOpen = 0;
  F().ReplyWatchdog->Fire();
  EXPECT_FALSE(Armed());

  // Armed again for the next exchange.
  F().SerialPort1->SetOpen(true);
  EXPECT_TRUE(Armed());
}

}  // namespace
}  // namespace dorv::testing
