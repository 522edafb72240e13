// The serial port object over pseudo-terminals, with its real dispatcher,
// threads and delivery to the user-interface thread.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <nlohmann/json.hpp>
#include <thread>
#include <vector>

#include "pty_fixture.h"
#include "serial/port_chooser.h"
#include "serial/serial_errors.h"
#include "serial/serial_port.h"
#include "ui/application.h"
#include "ui/headless_modals.h"

namespace dorv::serial {
namespace {

using namespace std::chrono_literals;
using testing::ProcessCpuMs;
using testing::PtyPeer;

// The configuration the main window stores for its port, on port n.
void Configure(TSerialPort& port, int n) {
  port.LoadDesign(nlohmann::json{{"ComNumber", n},
                                 {"Baud", 115200},
                                 {"OutSize", 512},
                                 {"RTS", false},
                                 {"TraceHex", false},
                                 {"UseEventWord", false}});
}

class PortTest : public ::testing::Test {
 protected:
  // Runs the loop until pred holds; pred may also turn true through the
  // port's threads alone, so it is looked at every few milliseconds.
  bool RunUntil(const std::function<bool()>& pred, std::chrono::milliseconds t = 5000ms) {
    auto end = std::chrono::steady_clock::now() + t;
    while (!pred()) {
      if (std::chrono::steady_clock::now() >= end) return false;
      app.Loop().RunUntil(pred, 5ms);
    }
    return true;
  }
  ui::HeadlessModals& Modals() { return static_cast<ui::HeadlessModals&>(app.Modals()); }

  ui::TApplication app;  // first in, last out: the ports close before it goes
};

TEST_F(PortTest, OpensClosesAndReopens) {
  PtyPeer peer(12);  // two digits: "\\.\COM12"
  ASSERT_TRUE(peer.Ok());
  TSerialPort port;
  Configure(port, 12);
  EXPECT_FALSE(port.Open());

  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    port.SetOpen(true);
    ASSERT_TRUE(port.Open());
    TBaseDispatcher* d = port.Dispatcher();
    port.SetOpen(true);  // already open: nothing happens
    EXPECT_EQ(port.Dispatcher(), d);
    EXPECT_EQ(port.PortPhase(), TPortPhase::ppOpen);

    peer.Write("hi");
    ASSERT_TRUE(RunUntil([&] { return port.InBuffUsed() == 2; }));
    EXPECT_EQ(port.GetChar(), 'h');
    EXPECT_EQ(port.GetChar(), 'i');
    EXPECT_FALSE(port.CharReady());
    port.PutString("ok");
    EXPECT_EQ(peer.Read(2), "ok");

    port.SetOpen(false);
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(port.PortPhase(), TPortPhase::ppClosed);
    EXPECT_EQ(port.Dispatcher(), nullptr);
    port.SetOpen(false);  // already closed: nothing happens
  }

  // With AutoOpen, a line operation on a closed port opens it.
  EXPECT_FALSE(port.CharReady());
  EXPECT_TRUE(port.Open());
}

TEST_F(PortTest, SetComNumberReopensOnTheNewPortKeepingTriggers) {
  PtyPeer first(5), second(6);
  TSerialPort port;
  Configure(port, 5);
  std::vector<uint32_t> dataEvents;
  port.SetOnTriggerData([&](TCustomSerialPort*, uint32_t h) { dataEvents.push_back(h); });
  port.SetOpen(true);
  int32_t handle = port.AddDataTrigger("OK", false);

  port.SetComNumber(5);  // the same number: nothing happens
  TBaseDispatcher* d = port.Dispatcher();
  EXPECT_EQ(port.Dispatcher(), d);
  port.SetComNumber(6);
  EXPECT_TRUE(port.Open());
  EXPECT_EQ(port.ComNumber(), 6);

  second.Write("xOK");
  ASSERT_TRUE(RunUntil([&] { return !dataEvents.empty(); }));
  EXPECT_EQ(dataEvents.front(), static_cast<uint32_t>(handle));

  // The first port is free again: another opener can have it.
  TSerialPort other;
  Configure(other, 5);
  other.SetOpen(true);
  EXPECT_TRUE(other.Open());
}

TEST_F(PortTest, MissingAndHeldPortsFailAndLeaveThePortClosed) {
  TSerialPort port;
  Configure(port, 9);
  try {
    port.SetOpen(true);
    FAIL() << "opened a port that does not exist";
  } catch (const EBadId& e) {
    EXPECT_STREQ(e.what(), "ie_BadId - Specified comport doesn't exist");
  }
  EXPECT_FALSE(port.Open());
  EXPECT_EQ(port.Dispatcher(), nullptr);
  EXPECT_EQ(port.PortPhase(), TPortPhase::ppClosed);

  PtyPeer peer(9);
  port.SetOpen(true);  // now it exists
  EXPECT_TRUE(port.Open());

  TSerialPort second;
  Configure(second, 9);
  try {
    second.SetOpen(true);
    FAIL() << "a held port opened twice";
  } catch (const EAlreadyOpen& e) {
    // The system's text, then the port, its device and who holds it.
    EXPECT_EQ(std::string(e.what()), "ie_Open - device already open: COM9 (" + peer.Path() +
                                         "). 別のプログラムがこのポートを使っています。"
                                         "そのプログラムを閉じてください");
    EXPECT_EQ(e.ErrorCode(), ecAlreadyOpen);
  }
  EXPECT_FALSE(second.Open());
  EXPECT_EQ(second.Dispatcher(), nullptr);
  port.SetOpen(false);
  second.SetOpen(true);
  EXPECT_TRUE(second.Open());
}

// A device the user has no permission for is not "already open": the message
// says so, names the device and what to do. Tried as another user (a child
// that gives up root) on a device only its owner may use.
TEST_F(PortTest, APortWithoutPermissionSaysSoAndNamesTheDeviceAndTheRemedy) {
  PtyPeer peer(9);
  ASSERT_TRUE(peer.Ok());
  ASSERT_EQ(chmod(peer.Path().c_str(), 0600), 0);
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  const bool root = geteuid() == 0;
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (root && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
    if (!root && chmod(peer.Path().c_str(), 0) != 0) _exit(4);
    std::string what = "opened";
    try {
      TSerialPort port;
      Configure(port, 9);
      port.SetOpen(true);
    } catch (const EInOutError& e) {
      what = std::to_string(e.ErrorCode) + " " + e.what();
    } catch (const std::exception& e) {
      what = std::string("other: ") + e.what();
    }
    (void)!write(out[1], what.data(), what.size());
    _exit(0);
  }
  close(out[1]);
  std::string what;
  char buf[1024];
  for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;) what.append(buf, n);
  close(out[0]);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "the child could not give up root (status " << status << ")";
  EXPECT_EQ(what.rfind("5 File access denied: COM9 (" + peer.Path() + "). ", 0), 0u) << what;
  EXPECT_NE(what.find("権限がありません"), std::string::npos) << what;
  EXPECT_NE(what.find("dialout"), std::string::npos) << what;
  EXPECT_NE(what.find("udev"), std::string::npos) << what;
}

TEST_F(PortTest, OutputIsAllOrNothingAndEmptyInputRaises) {
  PtyPeer peer(3);
  TSerialPort port;
  Configure(port, 3);
  port.SetOpen(true);

  EXPECT_THROW(port.PutString(std::string(513, 'a')), EOutputBufferTooSmall);
  EXPECT_EQ(port.OutBuffUsed(), 0u);  // nothing was queued
  port.PutString(std::string(512, 'b'));
  EXPECT_EQ(peer.Read(512), std::string(512, 'b'));
  // The ring has room again once the output thread has written the block.
  ASSERT_TRUE(RunUntil([&] { return port.OutBuffUsed() == 0; }));
  port.PutString("");                      // nothing to do
  port.PutString(std::string("a\0b", 3));  // an embedded NUL goes like any byte
  EXPECT_EQ(peer.Read(3), std::string("a\0b", 3));

  EXPECT_FALSE(port.CharReady());
  EXPECT_THROW(port.GetChar(), EBufferIsEmpty);
}

// Records availability events: Count, what the handler read, and where.
struct AvailRecorder {
  struct Event {
    uint16_t count;
    std::size_t readBefore;
    std::thread::id thread;
  };
  std::vector<Event> events;
  std::string read;
  std::size_t perEvent = 2;  // bytes the handler reads at most

  void Attach(TSerialPort& port) {
    port.SetOnTriggerAvail([this](TCustomSerialPort* p, uint16_t count) {
      events.push_back({count, read.size(), std::this_thread::get_id()});
      for (std::size_t i = 0; i < perEvent && p->CharReady(); ++i) read += p->GetChar();
    });
  }
};

TEST_F(PortTest, AvailabilityEventsCountUnreadBytesOnTheUiThread) {
  PtyPeer peer(4);
  TSerialPort port;
  Configure(port, 4);
  AvailRecorder rec;
  rec.Attach(port);
  port.SetOpen(true);

  peer.Write("abcde");
  ASSERT_TRUE(RunUntil([&] { return rec.read.size() >= 2; }));
  app.Loop().RunFor(300ms);  // every byte has arrived and been offered
  ASSERT_FALSE(rec.events.empty());
  EXPECT_EQ(rec.events.back().count, 5 - rec.events.back().readBefore);
  EXPECT_EQ(rec.events.back().thread, std::this_thread::get_id());

  // Bytes left unread bring no event of their own...
  std::size_t n = rec.events.size();
  std::size_t unread = 5 - rec.read.size();
  app.Loop().RunFor(300ms);
  EXPECT_EQ(rec.events.size(), n);
  EXPECT_EQ(port.InBuffUsed(), unread);
  // ...and are counted again when new bytes come.
  peer.Write("f");
  ASSERT_TRUE(RunUntil([&] { return rec.events.size() > n; }));
  EXPECT_EQ(rec.events.back().count, unread + 1);
  rec.perEvent = 100;
  peer.Write("g");
  ASSERT_TRUE(RunUntil([&] { return rec.read.size() == 7; }));
  EXPECT_EQ(rec.read, "abcdefg");

  // Without a trigger length there are no events.
  port.SetTriggerLength(0);
  n = rec.events.size();
  peer.Write("h");
  ASSERT_TRUE(RunUntil([&] { return port.InBuffUsed() == 1; }));
  app.Loop().RunFor(200ms);
  EXPECT_EQ(rec.events.size(), n);
}

TEST_F(PortTest, HandlerExceptionsReachTheApplicationDisplay) {
  PtyPeer peer(4);
  TSerialPort port;
  Configure(port, 4);
  port.SetOnTriggerAvail([](TCustomSerialPort* p, uint16_t) {
    p->GetChar();
    throw ui::Exception("boom");
  });
  port.SetOpen(true);
  Modals().SetAnswerDelay(0ms);
  peer.Write("x");
  ASSERT_TRUE(RunUntil([&] { return !Modals().Messages().empty(); }));
  EXPECT_EQ(Modals().Messages().front(), "boom");
}

TEST_F(PortTest, CloseInsideTheHandlerIsDeferred) {
  PtyPeer peer(7);
  TSerialPort port;
  Configure(port, 7);
  bool reopen = false;
  int events = 0;
  std::vector<std::string> seen;
  port.SetOnTriggerAvail([&](TCustomSerialPort* p, uint16_t) {
    ++events;
    p->GetChar();
    p->SetOpen(false);
    seen.push_back(std::string(p->Open() ? "open" : "closed") + "/" +
                   (p->PortPhase() == TPortPhase::ppShuttingDown ? "shutting" : "other"));
    // While the close is pending, line operations are skipped silently.
    EXPECT_FALSE(p->CharReady());
    EXPECT_EQ(p->GetChar(), '\0');
    p->PutString("dropped");
    if (reopen) p->SetOpen(true);
  });
  port.SetOpen(true);
  peer.Write("ab");
  ASSERT_TRUE(RunUntil([&] { return port.PortPhase() == TPortPhase::ppClosed; }));
  EXPECT_EQ(seen, std::vector<std::string>{"closed/shutting"});
  EXPECT_EQ(port.Dispatcher(), nullptr);
  EXPECT_FALSE(port.Open());

  // A SetOpen(true) after it opens the port when the close has completed.
  reopen = true;
  port.SetOpen(true);
  peer.Write("c");
  ASSERT_TRUE(RunUntil([&] { return events == 2 && port.PortPhase() == TPortPhase::ppOpen; }));
  EXPECT_TRUE(port.Open());
  reopen = false;
  peer.Write("d");
  ASSERT_TRUE(RunUntil([&] { return events == 3 && port.PortPhase() == TPortPhase::ppClosed; }));
  EXPECT_EQ(peer.Read(1, 200), "");  // the writes while closing were dropped
}

TEST_F(PortTest, HandlerIsNotEnteredAgainWhileItRuns) {
  PtyPeer peer(8);
  TSerialPort port;
  Configure(port, 8);
  int depth = 0, maxDepth = 0, calls = 0;
  std::string read;
  port.SetOnTriggerAvail([&](TCustomSerialPort* p, uint16_t) {
    maxDepth = std::max(maxDepth, ++depth);
    ++calls;
    while (p->CharReady()) read += p->GetChar();
    if (calls == 1) {
      peer.Write("more");
      // A modal box: a nested loop that outlasts the delivery's 3000 ms.
      ui::Application()->Modals().ShowMessage("wait");
    }
    --depth;
  });
  Modals().SetAnswerDelay(3500ms);
  port.SetOpen(true);
  peer.Write("first");
  ASSERT_TRUE(RunUntil([&] { return read == "firstmore"; }, 10000ms));
  EXPECT_EQ(maxDepth, 1);
  EXPECT_EQ(calls, 2);
  app.Loop().RunFor(200ms);
  EXPECT_EQ(read, "firstmore");  // nothing read twice
}

TEST_F(PortTest, LastTrafficFollowsTheOpenAndBytesBothWaysWithoutTheHandler) {
  PtyPeer peer(8);
  TSerialPort port;
  Configure(port, 8);
  auto before = std::chrono::steady_clock::now();
  port.SetOpen(true);
  auto opened = port.LastTraffic();
  EXPECT_GE(opened, before);
  std::this_thread::sleep_for(20ms);
  port.PutString("p");
  auto sent = port.LastTraffic();
  EXPECT_GT(sent, opened);
  EXPECT_EQ(peer.Read(1), "p");
  // Received bytes count as they arrive, with nobody reading them.
  std::this_thread::sleep_for(20ms);
  auto written = port.LastTraffic();
  peer.Write("#");
  ASSERT_TRUE(RunUntil([&] { return port.CharReady(); }));
  EXPECT_GT(port.LastTraffic(), written);
  // The time stays after the close, for a request left open by it.
  auto received = port.LastTraffic();
  port.SetOpen(false);
  EXPECT_EQ(port.LastTraffic(), received);
}

TEST_F(PortTest, FullRingStopsReceivingUntilReadAndWrapsInOrder) {
  PtyPeer peer(10);
  TSerialPort port;
  Configure(port, 10);
  std::vector<uint16_t> counts;
  bool hold = true;
  std::string read;
  port.SetOnTriggerAvail([&](TCustomSerialPort* p, uint16_t count) {
    counts.push_back(count);
    while (!hold && p->CharReady()) read += p->GetChar();
  });
  port.SetOpen(true);
  std::string sent;
  for (int i = 0; i < 10000; ++i) sent += static_cast<char>(i % 251);
  std::thread writer([&] { peer.Write(sent); });
  ASSERT_TRUE(RunUntil([&] { return !counts.empty() && counts.back() == 8192; }, 10000ms));
  EXPECT_TRUE(port.CharReady());
  EXPECT_EQ(port.InBuffUsed(), 8192u);

  // Full: the rest waits in the device, without keeping a thread busy.
  double cpu0 = ProcessCpuMs();
  app.Loop().RunFor(500ms);
  EXPECT_LT(ProcessCpuMs() - cpu0, 250.0);
  EXPECT_EQ(counts.back(), 8192);

  hold = false;
  while (port.CharReady()) read += port.GetChar();
  ASSERT_TRUE(RunUntil([&] { return read.size() == sent.size(); }, 10000ms));
  writer.join();
  EXPECT_TRUE(read == sent);
}

TEST_F(PortTest, TwoByteDataTriggerFollowsTheBytesBeforeIt) {
  PtyPeer peer(11);
  TSerialPort port;
  Configure(port, 11);
  std::vector<std::string> seq;
  port.SetOnTriggerAvail(
      [&](TCustomSerialPort*, uint16_t count) { seq.push_back("avail " + std::to_string(count)); });
  port.SetOnTriggerData(
      [&](TCustomSerialPort*, uint32_t h) { seq.push_back("data " + std::to_string(h)); });
  port.SetOpen(true);
  int32_t h = port.AddDataTrigger("XY", false);
  peer.Write("abXY");
  ASSERT_TRUE(RunUntil([&] { return seq.size() >= 2; }));
  EXPECT_EQ(seq[0], "avail 2");
  EXPECT_EQ(seq[1], "data " + std::to_string(h));
}

TEST_F(PortTest, UnpluggedPeerEndsWaitingWithoutSpinning) {
  PtyPeer peer(13);
  TSerialPort port;
  Configure(port, 13);
  AvailRecorder rec;
  rec.Attach(port);
  port.SetOpen(true);
  peer.Write("z");
  ASSERT_TRUE(RunUntil([&] { return !rec.read.empty(); }));

  peer.CloseMaster();
  peer.CloseSlave();
  app.Loop().RunFor(200ms);
  double cpu0 = ProcessCpuMs();
  app.Loop().RunFor(1000ms);
  EXPECT_LT(ProcessCpuMs() - cpu0, 300.0);  // a spinning thread would take ~1000

  port.PutString("lost");  // a write to a device that is gone is dropped
  port.SetOpen(false);
  EXPECT_EQ(port.PortPhase(), TPortPhase::ppClosed);
}

TEST_F(PortTest, ChooserListsExistingPortsAndItsAnswerDecidesTheOpen) {
  PtyPeer free3(3), held4(4);
  platform::PortNamespace::Register(5, "/dev/does-not-exist-5");
  TSerialPort holder;
  Configure(holder, 4);
  holder.SetOpen(true);
  EXPECT_TRUE(IsPortAvailable(3));
  EXPECT_TRUE(IsPortAvailable(4));  // held by another opener, but there
  EXPECT_FALSE(IsPortAvailable(5));
  EXPECT_FALSE(IsPortAvailable(0));

  TSerialPort port;
  Configure(port, 0);
  std::vector<std::string> listed;
  auto answer = [&](const char* button) {
    app.Loop().Post([&, button] {
      TComSelectForm* form = TComSelectForm::Showing();
      ASSERT_NE(form, nullptr);
      listed = form->Find<ui::TComboBox>("PortsComboBox")->Items();
      if (std::string(button) == "close")
        form->Close();
      else
        form->Find<ui::TButton>(button)->UserClick();
    });
  };
  answer("AbortBtn");
  EXPECT_THROW(port.SetOpen(true), ENoPortSelected);
  EXPECT_EQ(listed, (std::vector<std::string>{"COM3", "COM4"}));
  EXPECT_FALSE(port.Open());
  answer("close");
  EXPECT_THROW(port.SetOpen(true), ENoPortSelected);

  answer("OkBtn");
  port.SetOpen(true);
  EXPECT_TRUE(port.Open());
  EXPECT_EQ(port.ComNumber(), 3);
  port.SetOpen(false);

  TSerialPort quiet;
  Configure(quiet, 0);
  quiet.PromptForPort = false;
  EXPECT_THROW(quiet.SetOpen(true), ENoPortSelected);
  EXPECT_EQ(TComSelectForm::Showing(), nullptr);
  platform::PortNamespace::Unregister(5);
}

TEST_F(PortTest, ChooserDesignAndEmptyList) {
  TComSelectForm form;
  EXPECT_EQ(form.Caption(), "Select Port");
  EXPECT_EQ(form.ClientWidth(), 220);
  EXPECT_EQ(form.ClientHeight(), 131);
  auto* ok = form.Find<ui::TButton>("OkBtn");
  EXPECT_EQ(ok->Caption(), "OK");
  EXPECT_EQ(ok->Left(), 8);
  EXPECT_EQ(ok->Top(), 95);
  EXPECT_EQ(form.Find<ui::TButton>("AbortBtn")->Left(), 124);
  EXPECT_EQ(form.Find<ui::TComboBox>("PortsComboBox")->Width(), 201);

  platform::PortNamespace::Clear();
  form.FormCreate();
  EXPECT_TRUE(form.Find<ui::TComboBox>("PortsComboBox")->Items().empty());
  EXPECT_EQ(form.SelectedComNum(), 0);

  // OK with nothing to choose ends the open with "no port selected".
  TSerialPort port;
  Configure(port, 0);
  app.Loop().Post([] { TComSelectForm::Showing()->Find<ui::TButton>("OkBtn")->UserClick(); });
  EXPECT_THROW(port.SetOpen(true), ENoPortSelected);
}

}  // namespace
}  // namespace dorv::serial
