// Pure parts of the dispatcher: data-trigger matching, trigger handles,
// stop-bit codes, and port names.
#include <gtest/gtest.h>

#include <string>

#include "platform/comm_device.h"
#include "platform/port_namespace.h"
#include "serial/comm_dispatcher.h"
#include "serial/serial_errors.h"

namespace dorv::serial {
namespace {

TDataTrigger MakeTrigger(const std::string& s, bool ignoreCase = false) {
  TDataTrigger t;
  t.Length = static_cast<uint32_t>(s.size());
  t.IgnoreCase = ignoreCase;
  for (std::size_t i = 0; i < s.size(); ++i)
    t.Data[i] =
        ignoreCase ? static_cast<char>(std::toupper(static_cast<unsigned char>(s[i]))) : s[i];
  return t;
}

// Positions (0-based) of the bytes of input that complete the string.
std::vector<int> Matches(const std::string& pattern, const std::string& input,
                         bool ignoreCase = false) {
  TDataTrigger t = MakeTrigger(pattern, ignoreCase);
  std::vector<int> at;
  for (std::size_t i = 0; i < input.size(); ++i)
    if (MatchDataTrigger(t, input[i])) {
      at.push_back(static_cast<int>(i));
      t.Matched = false;
    }
  return at;
}

TEST(DataTrigger, MatchesAcrossOverlapsAndRestarts) {
  struct Case {
    const char* pattern;
    const char* input;
    bool ignoreCase;
    std::vector<int> at;
  };
  const Case cases[] = {
      {"XY", "abXY", false, {3}},
      {"aab", "aaab", false, {3}},          // a failed partial restarts inside itself
      {"abab", "abababab", false, {3, 7}},  // counters clear after a match
      {"#", "a#b#", false, {1, 3}},
      {"ok", "xOKoK", true, {2, 4}},
      {"ok", "xOKoK", false, {}},
      {"", "anything", false, {}},  // an empty string never matches
  };
  for (const auto& c : cases)
    EXPECT_EQ(Matches(c.pattern, c.input, c.ignoreCase), c.at) << c.pattern << " in " << c.input;
}

TEST(LineSettings, StopBitCodes) {
  using platform::TDcb;
  struct Case {
    uint32_t stop, data;
    uint8_t current, expected;
  };
  const Case cases[] = {
      {0, 8, TDcb::kTwoStopBits, TDcb::kOneStopBit},  // 0 is 1
      {1, 8, TDcb::kTwoStopBits, TDcb::kOneStopBit},
      {2, 8, TDcb::kOneStopBit, TDcb::kTwoStopBits},
      {3, 8, TDcb::kTwoStopBits, TDcb::kTwoStopBits},  // unchanged
      {3, 7, TDcb::kOneStopBit, TDcb::kOneStopBit},
      {7, 8, TDcb::kOneStopBit, TDcb::kTwoStopBits},   // above 3 is 2
      {1, 5, TDcb::kOneStopBit, TDcb::kOne5StopBits},  // 5 data bits: always 1.5
      {2, 5, TDcb::kOneStopBit, TDcb::kOne5StopBits},
      {3, 5, TDcb::kTwoStopBits, TDcb::kOne5StopBits},
  };
  for (const auto& c : cases)
    EXPECT_EQ(StopBitsCode(c.stop, c.data, c.current), c.expected) << c.stop << "/" << c.data;
}

// A dispatcher that is never opened keeps its trigger lists all the same.
TEST(TriggerHandles, AllocationAndErrors) {
  TCommDispatcher d(nullptr);
  EXPECT_EQ(d.AddTimerTrigger(), 8);
  EXPECT_EQ(d.AddDataTrigger("ab", false), 16);
  EXPECT_EQ(d.AddStatusTrigger(stOutSent), 24 | stOutSent);
  EXPECT_EQ(d.AddStatusTrigger(6), ecBadArgument);
  EXPECT_EQ(d.AddDataTrigger(std::string(22, 'x'), false), ecTriggerTooLong);
  EXPECT_GT(d.AddDataTrigger(std::string(21, 'x'), false), 0);
  EXPECT_EQ(d.SetTimerTrigger(9, 10, true), ecBadTriggerHandle);
  EXPECT_EQ(d.SetTimerTrigger(8, 10, true), 0);
  EXPECT_EQ(d.SetStatusTrigger(24 | stOutSent, 0, true), 0);
  EXPECT_EQ(d.SetStatusTrigger(24, 0, true), ecBadTriggerHandle);
  EXPECT_EQ(d.RemoveTrigger(16), 0);
  EXPECT_EQ(d.RemoveTrigger(16), ecBadTriggerHandle);

  // Removing handle 1 switches the availability trigger off.
  d.ChangeLengthTrigger(1);
  EXPECT_EQ(d.RemoveTrigger(1), 0);
  EXPECT_EQ(d.TriggerLength(), 0u);

  // After all are removed the counter starts again at 1.
  d.RemoveAllTriggers();
  EXPECT_EQ(d.AddTimerTrigger(), 8);

  // Past 4095 handles, the smallest free multiple of 8 is reused.
  d.RemoveAllTriggers();
  for (int i = 1; i < 4096; ++i) ASSERT_EQ(d.AddTimerTrigger(), 8 * i);
  EXPECT_EQ(d.RemoveTrigger(80), 0);
  EXPECT_EQ(d.RemoveTrigger(40), 0);
  EXPECT_EQ(d.AddTimerTrigger(), 40);
  EXPECT_EQ(d.AddStatusTrigger(stModem), 80 | stModem);
  EXPECT_EQ(d.AddTimerTrigger(), 8 * 4096);
}

TEST(TriggerHandles, SaveAndRestoreKeepHandlesApart) {
  TCommDispatcher a(nullptr), b(nullptr);
  a.ChangeLengthTrigger(3);
  int32_t h = a.AddDataTrigger("OK", true);
  TTriggerSave save;
  a.SaveTriggers(save);
  b.RestoreTriggers(save);
  EXPECT_EQ(b.TriggerLength(), 3u);
  EXPECT_NE(b.AddTimerTrigger(), h);  // a new handle does not collide
  EXPECT_EQ(b.RemoveTrigger(h), 0);
}

TEST(PortNames, NumbersAndResolution) {
  using platform::PortNamespace;
  EXPECT_EQ(PortNamespace::PortNumber("\\\\.\\COM12"), 12);
  EXPECT_EQ(PortNamespace::PortNumber("COM3"), 3);
  EXPECT_EQ(PortNamespace::PortNumber("COM"), 0);
  EXPECT_EQ(PortNamespace::PortNumber("COMX"), 0);
  EXPECT_EQ(PortNamespace::PortNumber("LPT1"), 0);
  PortNamespace::Register(77, "/dev/null-77");
  EXPECT_EQ(PortNamespace::Resolve("\\\\.\\COM77"), "/dev/null-77");
  EXPECT_EQ(PortNamespace::Resolve("/dev/ttyS0"), "/dev/ttyS0");
  PortNamespace::Unregister(77);
  EXPECT_FALSE(PortNamespace::Resolve("\\\\.\\COM77"));
}

TEST(DeviceErrors, SystemErrorsMapToTheCodesTheLayerExpects) {
  using namespace platform;
  // No permission and a port held by another program are different errors.
  const std::pair<int, int> cases[] = {{ENOENT, 2},  {ENXIO, 2},  {ENOTDIR, 3},      {EACCES, 5},
                                       {EPERM, 5},   {EBUSY, 32}, {EWOULDBLOCK, 32}, {ENOMEM, 8},
                                       {EINVAL, 87}, {EIO, 31}};
  for (auto [e, code] : cases) EXPECT_EQ(CommErrorFromSystem(e), code) << e;
}

}  // namespace
}  // namespace dorv::serial
