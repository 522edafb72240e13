// The timer tick touches the main window's controls only when what it found
// changed: a tick that finds the same as the one before changes nothing but
// the clock.
#include <set>

#include "common/forms_fixture.h"
#include "serial/pty_fixture.h"

namespace dorv::testing {
namespace {

constexpr int kCom = 27;

class Tick : public FormsFixture {
 protected:
  serial::testing::PtyPeer peer{kCom};

  void SetUp() override {
    FormsFixture::SetUp();
    ASSERT_TRUE(peer.Ok());
  }
  // One tick, with the timer running again afterwards as the reply parser
  // leaves it.
  void RunTick() {
    F().Timer1Timer();
    F().Timer1->SetInterval(1000);
  }
};

TEST_F(Tick, ASecondTickThatFindsTheSameChangesNoControl) {
  struct Case {
    const char* what;
    const char* identity;  // of the port found; null: no port at all
    bool ftdiChecked;
  } cases[] = {
      {"no port", nullptr, false},
      {"a port, not the logger's", "VID_0403+PID_6001+OTHER01A", true},
      {"the logger", platform::kLoggerIdentity, false},
      {"a generic converter, accepted", platform::kGenericFtdiIdentity, true},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<platform::SerialDeviceInfo> devices;
    if (c.identity) devices.push_back({"COM" + std::to_string(kCom), peer.Path(), c.identity});
    platform::FillRegistry(*registry, devices);
    F().CheckBox1->SetChecked(c.ftdiChecked);
    RunTick();
    RunTick();
    std::set<std::string> changed;
    std::vector<std::pair<ui::TComponent*, int>> observers;
    auto watch = [&](ui::TComponent& c) {
      observers.emplace_back(&c, c.AddObserver([&changed](ui::TComponent& who, ui::Prop) {
        changed.insert(who.Name());
      }));
    };
    watch(F());
    for (auto& component : F().Components()) watch(*component);
    RunTick();
    for (auto& [component, id] : observers) component->RemoveObserver(id);
    changed.erase("Label6");  // the clock
    changed.erase("Timer1");  // stopped for the length of the tick
    EXPECT_TRUE(changed.empty()) << "changed: " << ::testing::PrintToString(changed);
  }
}

}  // namespace
}  // namespace dorv::testing
