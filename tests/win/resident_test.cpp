#include "launcher/app/resident_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "launcher/app/wide_win.h"
#include "launcher/payload/message_texts.h"
#include "launcher_state_fixture_win.h"

namespace {

class ResidentEvent : public LauncherStateTest {
 protected:
  // What the add-in does: open the event by the name built from the launcher's id.
  void Signal() {
    std::wstring name = ToWide(ResidentEventName(GetCurrentProcessId()));
    HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str());
    ASSERT_NE(event, nullptr);
    SetEvent(event);
    CloseHandle(event);
  }

  // Runs the resident wait on a thread; true when it ended within the time-out.
  bool WaitEnds(DWORD delayBeforeWaitMs, DWORD signalAfterMs, bool signalBeforeWait) {
    if (signalBeforeWait) Signal();
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread waiter([&] {
      Sleep(delayBeforeWaitMs);
      WaitWhileResident(state);
      SetEvent(done);
    });
    if (!signalBeforeWait) {
      Sleep(signalAfterMs);
      Signal();
    }
    bool ended = WaitForSingleObject(done, 5000) == WAIT_OBJECT_0;
    if (!ended) SetEvent(state.residentEvent.get());
    waiter.join();
    CloseHandle(done);
    return ended;
  }
};

}  // namespace

TEST_F(ResidentEvent, AnySignalEndsTheWaitWhateverTheOrder) {
  struct Order {
    const char* what;
    DWORD delayBeforeWaitMs;
    DWORD signalAfterMs;
    bool signalBeforeWait;
  };
  const Order orders[] = {
      {"signalled before the watcher can start", 0, 0, true},
      {"signalled while the watcher waits, before the main wait", 300, 100, false},
      {"signalled while both wait", 0, 300, false},
      {"signalled at once, main wait starting late", 500, 0, false},
  };
  for (const auto& order : orders) {
    SetOptions(OPT_SAVED_STATE);
    CreateResidentEvent(state);
    ASSERT_TRUE(state.residentEvent) << order.what;
    EXPECT_TRUE(WaitEnds(order.delayBeforeWaitMs, order.signalAfterMs, order.signalBeforeWait)) << order.what;
    state.eventWatcher->join();
    EXPECT_TRUE(state.eventSeen.load()) << order.what;
    TearDown();
  }
}

TEST_F(ResidentEvent, NoWaitOutsideSavedStateMode) {
  CreateResidentEvent(state);
  ASSERT_TRUE(state.residentEvent);
  WaitWhileResident(state);  // returns at once: the option is clear
  state.eventWatcher->join();  // the watcher ends at once too
  EXPECT_FALSE(state.eventSeen.load());
}

TEST_F(ResidentEvent, NoWaitAfterAFailedLaunch) {
  SetOptions(OPT_SAVED_STATE);
  CreateResidentEvent(state);
  ASSERT_TRUE(state.residentEvent);
  state.failed = true;  // the host was quit before it could get 1171 and signal
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread waiter([&] {
    WaitWhileResident(state);
    SetEvent(done);
  });
  EXPECT_EQ(WaitForSingleObject(done, 2000), WAIT_OBJECT_0) << "the wait did not return without a signal";
  SetEvent(state.residentEvent.get());
  waiter.join();
  CloseHandle(done);
  state.failed = false;
}
