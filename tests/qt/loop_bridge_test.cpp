// The toolkit's event loop on Qt's: posted calls, timers and synchronous
// calls from other threads, also while a modal box is open.
#include "qtui/loop_bridge.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <future>
#include <thread>

#include "qtui/modals_qt.h"
#include "ui/application.h"
#include "ui/controls.h"

namespace dorv::qtui::testing {
namespace {

using namespace std::chrono_literals;

// While a message box is open, calls step every 10 ms from the box's own
// loop (the test's code is suspended under it); closes the box once step
// returns true.
class WhileBoxOpen {
 public:
  explicit WhileBoxOpen(std::function<bool()> step) : step_(std::move(step)) {
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box || !step_()) return;
      poll_.stop();
      box->button(QMessageBox::Ok)->click();
    });
    poll_.start(10);
  }

 private:
  std::function<bool()> step_;
  QTimer poll_;
};

bool Ready(std::future<bool>& f) {
  return f.valid() && f.wait_for(0s) == std::future_status::ready;
}

struct Bridged {
  ui::TApplication app;
  LoopBridge bridge{app.Loop()};
  Bridged() {
    app.SetModals(std::make_unique<QtModals>([] { return std::string("DORV_UPDATER"); }));
  }
};

TEST(LoopBridge, PostedCallsAndTimersRunOnQtsLoop) {
  Bridged b;
  std::atomic<bool> ran{false};
  std::atomic<bool> onUiThread{false};
  std::thread other([&] {
    b.app.Loop().Post([&] {
      onUiThread = QThread::currentThread() == QCoreApplication::instance()->thread();
      ran = true;
    });
  });
  other.join();
  EXPECT_TRUE(QTest::qWaitFor([&] { return ran.load(); }, 2000));
  EXPECT_TRUE(onUiThread);

  ui::TTimer timer("Timer1");
  int ticks = 0;
  timer.SetInterval(50);
  timer.SetOnTimer([&] { ++ticks; });
  QTest::qWait(525);
  EXPECT_GE(ticks, 8);
  EXPECT_LE(ticks, 11);
  // Interval 0 stops it.
  timer.SetInterval(0);
  int stopped = ticks;
  QTest::qWait(200);
  EXPECT_EQ(ticks, stopped);
}

TEST(LoopBridge, TimersAndSynchronousCallsRunWhileAModalBoxIsOpen) {
  Bridged b;
  ui::TTimer timer("Timer1");
  int ticks = 0;
  timer.SetInterval(30);
  timer.SetOnTimer([&] { ++ticks; });
  // A click handler opens an information box; meanwhile the serial layer's
  // thread delivers synchronously.
  std::atomic<int> delivered{0};
  std::future<bool> sent;
  bool boxReturned = false;
  int ticksAtOpen = -1, ticksAtClose = 0, deliveredAtClose = 0;
  b.app.Loop().Post([&] {
    sent = std::async(std::launch::async, [&] {
      std::this_thread::sleep_for(100ms);
      return b.app.Loop().SendSync([&] { ++delivered; }, 3000);
    });
    b.app.Modals().ShowMessage("データ数不具合");
    boxReturned = true;
  });
  WhileBoxOpen user([&] {
    if (ticksAtOpen < 0) ticksAtOpen = ticks;
    if (!Ready(sent) || ticks < ticksAtOpen + 3) return false;
    ticksAtClose = ticks;
    deliveredAtClose = delivered;
    return true;
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return boxReturned; }, 5000));
  EXPECT_EQ(deliveredAtClose, 1);
  EXPECT_GE(ticksAtClose, ticksAtOpen + 3);  // the timer went on under the box
  EXPECT_TRUE(sent.get());
}

TEST(LoopBridge, AReceiveHandlerWithAModalBoxIsNotEnteredAgain) {
  Bridged b;
  int depth = 0, maxDepth = 0, entered = 0;
  auto receive = [&] {
    ++entered;
    maxDepth = std::max(maxDepth, ++depth);
    if (entered == 1) b.app.Modals().ShowMessage("err");
    --depth;
  };
  // First delivery: the handler opens a box and waits for the user.
  auto first = std::async(std::launch::async, [&] { return b.app.Loop().SendSync(receive, 3000); });
  // More bytes arrive while it is open: that delivery does not run while
  // the first one runs, and is withdrawn at its time-out. Posted calls still
  // run under the box.
  std::future<bool> second;
  bool secondResult = true, posted = false;
  int enteredWhileOpen = 0;
  WhileBoxOpen user([&] {
    if (!second.valid()) {
      second = std::async(std::launch::async, [&] { return b.app.Loop().SendSync(receive, 300); });
      b.app.Loop().Post([&] { posted = true; });
    }
    if (!Ready(second) || !posted) return false;
    secondResult = second.get();
    enteredWhileOpen = entered;
    return true;
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return Ready(first); }, 6000));
  EXPECT_TRUE(first.get());
  EXPECT_FALSE(secondResult);
  EXPECT_EQ(enteredWhileOpen, 1);
  // Once it has returned, the next delivery runs as usual.
  auto third = std::async(std::launch::async, [&] { return b.app.Loop().SendSync(receive, 3000); });
  ASSERT_TRUE(QTest::qWaitFor([&] { return Ready(third); }, 4000));
  EXPECT_TRUE(third.get());
  EXPECT_EQ(entered, 2);
  EXPECT_EQ(maxDepth, 1);
}

}  // namespace
}  // namespace dorv::qtui::testing
