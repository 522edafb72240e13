// The Win32 communications device on a real port: the simulated logger's
// pseudo-terminal mapped as a COM port under Wine (tests/windows/e2e.sh runs
// this program with DORV_TEST_PORT naming it). Opening, the line settings,
// an exchange with the logger, exclusive use, and the ends of a wait: an
// answer, a cancel, a close from another thread.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>

#include "platform/comm_device.h"

namespace dorv::platform {
namespace {

std::string TestPort() {
  const char* port = std::getenv("DORV_TEST_PORT");
  return port ? port : "";
}

class Port : public ::testing::Test {
 protected:
  void SetUp() override {
    name = TestPort();
    ASSERT_NE(name, "") << "DORV_TEST_PORT must name the logger's port (\\\\.\\COM7)";
    int error = 0;
    device = CommDevice::Open(name, error);
    ASSERT_NE(device, nullptr) << name << ": error " << error << " " << SystemErrorText(error);
    TDcb dcb;
    ASSERT_EQ(device->GetState(dcb), 0);
    dcb.BaudRate = 115200;
    dcb.ByteSize = 8;
    dcb.Parity = TDcb::kNoParity;
    dcb.StopBits = TDcb::kOneStopBit;
    ASSERT_EQ(device->SetState(dcb), 0);
  }

  // Everything the logger sends up to its prompt "#", within a few seconds.
  std::string ReplyUntilPrompt() {
    std::string reply;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (reply.find('#') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      uint32_t events = 0;
      WaitResult r = device->WaitEvent(EV_RXCHAR, events, 500);
      if (r == WaitResult::TimedOut) continue;
      if (r != WaitResult::Event) break;
      char buf[256];
      long n = device->Read(buf, sizeof buf);
      if (n < 0) break;
      reply.append(buf, static_cast<size_t>(n));
    }
    return reply;
  }

  std::string name;
  std::unique_ptr<CommDevice> device;
};

TEST_F(Port, ExchangesWithTheLoggerAtItsLineSettings) {
  TDcb dcb;
  ASSERT_EQ(device->GetState(dcb), 0);
  EXPECT_EQ(dcb.BaudRate, 115200u);
  EXPECT_EQ(dcb.ByteSize, 8);
  // Lines a pseudo-terminal cannot drive are ignored, not errors.
  EXPECT_EQ(device->Escape(SETDTR), 0);
  EXPECT_EQ(device->Purge(PURGE_RXCLEAR | PURGE_TXCLEAR), 0);
  bool cancelled = true;
  EXPECT_EQ(device->Write("m", 1, cancelled), 1);
  EXPECT_FALSE(cancelled);
  std::string reply = ReplyUntilPrompt();
  EXPECT_NE(reply.find('#'), std::string::npos) << reply;
  // Nothing more comes: a wait for bytes runs out.
  uint32_t events = 0;
  EXPECT_EQ(device->WaitEvent(EV_RXCHAR, events, 200), WaitResult::TimedOut);
  TComStat stat;
  device->ClearError(stat);
  EXPECT_EQ(stat.cbInQue, 0u);
}

TEST_F(Port, IsUsedByOneOpenerAtATime) {
  int error = 0;
  EXPECT_EQ(CommDevice::Open(name, error), nullptr);
  EXPECT_EQ(error, kErrSharingViolation) << SystemErrorText(error);
  device->Close();
  device.reset();
  auto again = CommDevice::Open(name, error);
  EXPECT_NE(again, nullptr) << error;
}

TEST_F(Port, AWaitEndsAtACancelAndAtAClose) {
  auto waiting = [&] {
    return std::async(std::launch::async, [&] {
      uint32_t events = 0;
      return device->WaitEvent(EV_RXCHAR, events, 10000);
    });
  };
  auto cancelled = waiting();
  EXPECT_EQ(cancelled.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
  device->CancelWait();
  ASSERT_EQ(cancelled.wait_for(std::chrono::seconds(2)), std::future_status::ready);
  EXPECT_EQ(cancelled.get(), WaitResult::Cancelled);

  auto closed = waiting();
  EXPECT_EQ(closed.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
  device->Close();
  ASSERT_EQ(closed.wait_for(std::chrono::seconds(2)), std::future_status::ready);
  EXPECT_EQ(closed.get(), WaitResult::Failed);
  EXPECT_FALSE(device->IsOpen());
  char buf[4];
  EXPECT_LT(device->Read(buf, sizeof buf), 0);
}

}  // namespace
}  // namespace dorv::platform
