// The user-interface thread's loop: timers, posted and synchronous calls.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "ui/application.h"
#include "ui/controls.h"

namespace dorv::ui {
namespace {

using namespace std::chrono_literals;

TEST(EventLoop, TimerWithIntervalZeroIsStopped) {
  TApplication app;
  TTimer timer("Timer1");
  int ticks = 0;
  timer.SetInterval(20);
  timer.SetOnTimer([&] { ++ticks; });
  app.Loop().RunUntil([&] { return ticks >= 3; }, 2000ms);
  EXPECT_GE(ticks, 3);
  timer.SetInterval(0);
  int before = ticks;
  app.Loop().RunFor(100ms);
  EXPECT_EQ(ticks, before);
  // A handler that stops and restarts its own timer keeps it running.
  timer.SetOnTimer([&] {
    int i = timer.Interval();
    timer.SetInterval(0);
    ++ticks;
    timer.SetInterval(i);
  });
  timer.SetInterval(10);
  app.Loop().RunUntil([&] { return ticks >= before + 3; }, 2000ms);
  EXPECT_GE(ticks, before + 3);
}

TEST(EventLoop, SynchronousCallRunsOnTheUiThreadAndTimesOut) {
  TApplication app;
  auto& loop = app.Loop();
  std::atomic<int> result{-1};
  std::thread::id ranOn;
  std::thread worker([&] {
    bool done = loop.SendSync([&] { ranOn = std::this_thread::get_id(); }, 3000);
    result = done ? 1 : 0;
    loop.Wake();
  });
  loop.RunUntil([&] { return result >= 0; }, 5000ms);
  worker.join();
  EXPECT_EQ(result, 1);
  EXPECT_EQ(ranOn, std::this_thread::get_id());

  // Nobody runs the loop: the call times out and is withdrawn, never run late.
  bool ran = false;
  std::thread late([&] { result = loop.SendSync([&] { ran = true; }, 50) ? 1 : 0; });
  late.join();
  EXPECT_EQ(result, 0);
  loop.ProcessReady();
  EXPECT_FALSE(ran);

  // A call that runs longer than the time-out: the caller goes on, the call
  // finishes.
  std::atomic<bool> callerBack{false};
  bool finished = false;
  std::thread slow([&] {
    result = loop.SendSync(
                 [&] {
                   while (!callerBack) std::this_thread::sleep_for(1ms);
                   finished = true;
                 },
                 50)
                 ? 1
                 : 0;
    callerBack = true;
  });
  loop.RunUntil([&] { return finished; }, 5000ms);
  slow.join();
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(finished);
}

TEST(EventLoop, ProcessOneTakesOneWaitingItemSyncCallsFirst) {
  TApplication app;
  auto& loop = app.Loop();
  std::vector<int> order;
  loop.PostIdle([&] { order.push_back(3); });
  loop.Post([&] { order.push_back(2); });
  std::thread t([&] { loop.SendSync([&] { order.push_back(1); }, 3000); });
  std::this_thread::sleep_for(200ms);  // the synchronous call is queued by now
  loop.ProcessOne();
  t.join();
  EXPECT_EQ(order, std::vector<int>{1});
  loop.ProcessOne();
  loop.ProcessOne();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  EXPECT_FALSE(loop.ProcessOne());
}

}  // namespace
}  // namespace dorv::ui
