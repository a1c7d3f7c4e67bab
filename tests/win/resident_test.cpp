#include "launcher/app/resident_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "core/win/wide_win.h"
#include "core/text/message_texts.h"
#include "launcher_state_fixture_win.h"
#include "test_support_win.h"

namespace {

// A window of this process standing in for the host's: its process (this one) does
// not end while the test waits, so only the event can end the wait.
class OwnWindow {
 public:
  OwnWindow() : window_(CreateWindowExW(0, L"STATIC", L"host", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                        nullptr)) {}
  ~OwnWindow() { DestroyWindow(window_); }
  HWND get() const { return window_; }

 private:
  HWND window_;
};

// True when `wait` returns within the time-out.
bool EndsWithin(DWORD timeoutMs, const std::function<void()>& wait) {
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread waiter([&] {
    wait();
    SetEvent(done);
  });
  const bool ended = WaitForSingleObject(done, timeoutMs) == WAIT_OBJECT_0;
  if (!ended && State().residentEvent) SetEvent(State().residentEvent.get());
  waiter.join();
  CloseHandle(done);
  return ended;
}

class ResidentEvent : public LauncherStateTest {
 protected:
  void SetUp() override {
    LauncherStateTest::SetUp();
    state.hostWindow = hostWindow.get();
  }
  void TearDown() override {
    LauncherStateTest::TearDown();
    state.hostWindow = nullptr;
  }

  OwnWindow hostWindow;

  // A host of another process that shows a window: the bare stub, with its box about the
  // missing settings. Its window becomes the host window (null when none came).
  PROCESS_INFORMATION StartHostWithAWindow() {
    PROCESS_INFORMATION host = StartProcess(StubPath(), L"\"" + StubPath() + L"\"");
    state.hostWindow = WaitForMessageBox(host.dwProcessId, 20000).window;
    return host;
  }

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

TEST_F(ResidentEvent, WithoutTheHostsProcessAnySignalEndsTheWaitWhateverTheOrder) {
  // A host under another account cannot be opened: the add-in's signal is all there is.
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
    ASSERT_TRUE(CreateResidentEvent(state));
    ASSERT_TRUE(state.residentEvent) << order.what;
    state.hostProcess.reset();
    EXPECT_TRUE(WaitEnds(order.delayBeforeWaitMs, order.signalAfterMs, order.signalBeforeWait)) << order.what;
    state.eventWatcher->join();
    EXPECT_TRUE(state.eventSeen.load()) << order.what;
    TearDown();
    SetUp();
  }
}

TEST_F(ResidentEvent, WithoutTheHostsProcessTheWaitLastsUntilASignal) {
  SetOptions(OPT_SAVED_STATE);
  ASSERT_TRUE(CreateResidentEvent(state));
  state.hostProcess.reset();
  EXPECT_FALSE(EndsWithin(1500, [&] { WaitWhileResident(state); })) << "the wait ended without a signal";
}

TEST_F(ResidentEvent, ASignalDoesNotEndTheWaitWhileTheHostsProcessRuns) {
  // The add-in signals once the state is written; the host may go on with the user's own
  // workbooks, which still need the workspace's add-in.
  PROCESS_INFORMATION host = StartHostWithAWindow();
  ASSERT_NE(state.hostWindow, nullptr);
  SetOptions(OPT_SAVED_STATE);
  ASSERT_TRUE(CreateResidentEvent(state));
  ASSERT_TRUE(state.hostProcess);
  Signal();

  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread waiter([&] {
    WaitWhileResident(state);
    SetEvent(done);
  });
  EXPECT_NE(WaitForSingleObject(done, 1500), WAIT_OBJECT_0) << "the signal ended the wait while the host ran";
  TerminateProcess(host.hProcess, 3);
  EXPECT_EQ(WaitForSingleObject(done, 10000), WAIT_OBJECT_0) << "the host's end did not end the wait";
  waiter.join();
  CloseHandle(done);
  EXPECT_TRUE(state.eventSeen.load());
  WaitForExit(host, 5000);
}

TEST_F(ResidentEvent, TheWaitEndsWhenTheHostsProcessEnds) {
  // The add-in never signals (it never loaded, or the host crashed or was killed): the
  // launcher must not wait for ever.
  PROCESS_INFORMATION host = StartHostWithAWindow();
  ASSERT_NE(state.hostWindow, nullptr);
  SetOptions(OPT_SAVED_STATE);
  ASSERT_TRUE(CreateResidentEvent(state));
  ASSERT_TRUE(state.hostProcess);

  EXPECT_TRUE(EndsWithin(10000, [&] {
    Sleep(500);
    TerminateProcess(host.hProcess, 3);
    WaitWhileResident(state);
  }));
  EXPECT_FALSE(state.eventSeen.load());
  WaitForExit(host, 5000);
}

TEST_F(ResidentEvent, NoWaitWithoutAHostWindow) {
  // Without a host window the add-in got no message, 1159 with the launcher's id
  // included: nothing can signal.
  state.hostWindow = nullptr;
  SetOptions(OPT_SAVED_STATE);
  ASSERT_TRUE(CreateResidentEvent(state));
  EXPECT_FALSE(state.hostProcess);
  EXPECT_TRUE(EndsWithin(2000, [&] { WaitWhileResident(state); }));
}

TEST_F(ResidentEvent, ANameTakenAlreadyFailsTheLaunch) {
  // Somebody else's object under the event's name could end or hold the wait at will.
  const std::wstring name = ToWide(ResidentEventName(GetCurrentProcessId()));
  const struct {
    const char* what;
    std::function<HANDLE()> take;
  } squatters[] = {
      {"an event", [&] { return CreateEventW(nullptr, TRUE, FALSE, name.c_str()); }},
      {"a mutex", [&] { return CreateMutexW(nullptr, FALSE, name.c_str()); }},
  };
  for (const auto& squatter : squatters) {
    HANDLE object = squatter.take();
    ASSERT_NE(object, nullptr) << squatter.what;
    SetOptions(OPT_SAVED_STATE);
    EXPECT_FALSE(CreateResidentEvent(state)) << squatter.what;
    EXPECT_FALSE(state.residentEvent) << squatter.what;
    EXPECT_FALSE(state.eventWatcher) << squatter.what;
    CloseHandle(object);
  }
  ASSERT_TRUE(CreateResidentEvent(state)) << "the name is free again";
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
