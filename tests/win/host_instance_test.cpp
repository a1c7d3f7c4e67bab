// Creating the host, reading its version and bitness, and finding its main window,
// against the stand-in host.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/messages/message_text.h"
#include "launcher/host/host_instance_win.h"
#include "core/host/host_ops_win.h"
#include "core/text/message_texts.h"
#include "tests/win/fake_host_fixture.h"

using ::testing::ElementsAre;

namespace {

class HostInstanceTest : public FakeHostTest {};

TEST_F(HostInstanceTest, CreateHostHidesTheHostAndReadsItsMajorVersion) {
  const struct {
    const char* version;
    int expected;
  } cases[] = {{"version=16.0", 16}, {"version=9.0", 9}, {"version=", 0}, {"version=abc", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    WriteScenario({c.version});
    ComPtr<IDispatch> host;
    int version = -1;
    CreateHost(host, version);
    ASSERT_TRUE(host);
    EXPECT_EQ(version, c.expected);
    EXPECT_THAT(NewJournalLines(),
                ElementsAre("invoke 558 put named=-3 bool 0 lcid=0", "visible 0", "invoke 392 get lcid=0"));
  }
}

TEST_F(HostInstanceTest, AHostThatCannotBeCreatedIsANoticeForTheUser) {
  RunFakeHost(L"/unregserver");
  ComPtr<IDispatch> host;
  int version = 0;
  std::string text;
  try {
    CreateHost(host, version);
  } catch (const notice4user& notice) {
    text = notice.what();
  }
  RunFakeHost(L"/regserver");
  EXPECT_EQ(text, GetTextUtf8(TextId::kHostNotCreated));
  EXPECT_FALSE(text.empty());
  EXPECT_FALSE(host);
}

TEST_F(HostInstanceTest, SixtyFourBitHostsHave1000InTheFourthGroupOfTheirProductCode) {
  const struct {
    const char* productCode;
    bool expected;
  } cases[] = {
      {"productCode={90160000-000F-0000-1000-0000000FF1CE}", true},
      {"productCode={90160000-000F-0000-0000-0000000FF1CE}", false},
      {"productCode={90160000-000F-0000-1001-0000000FF1CE}", false},
      {"productCode=90160000-000F-0000-1000-0000000FF1CE", false},  // not braced: no GUID text
      {"productCode={90160000-000F-0000-1000}", false},
      {"nullBstr=1798", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.productCode);
    WriteScenario({c.productCode});
    ComPtr<IDispatch> host = StartHost();
    ASSERT_TRUE(host);
    EXPECT_EQ(IsHost64Bit(host.Get()), c.expected);
  }
}

// A window of this process that looks exactly like the host's main window: never the answer.
class DecoyWindow {
 public:
  explicit DecoyWindow(const wchar_t* title) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"XLMAIN";
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, L"XLMAIN", title, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  }
  ~DecoyWindow() { DestroyWindow(window_); }
  HWND get() const { return window_; }

 private:
  HWND window_;
};

struct WindowCase {
  const char* name;
  std::vector<std::string> scenario;
  int version;
  // Which window must come back: the host's window of this class and title, or none.
  const wchar_t* className;
  const wchar_t* title;
};

TEST_F(HostInstanceTest, MainWindowRules) {
  const WindowCase cases[] = {
      {"one host window, titled otherwise than the caption",
       {"title=Book1 - Excel", "hwnd=other"}, 16, L"XLMAIN", L"Book1 - Excel"},
      {"two host windows, one titled exactly like the caption",
       {"title=microsoft excel", "extraWindows=Microsoft Excel", "hwnd=other"}, 16, L"XLMAIN", L"Microsoft Excel"},
      {"two host windows differing from the caption in letter case only: the Hwnd window",
       {"title=microsoft excel", "extraWindows=MICROSOFT EXCEL", "hwnd=other"}, 16, L"SheetpackOtherWindow",
       L"Microsoft Excel"},
      {"no Hwnd: nothing to tell the host's process by", {"hwnd=zero"}, 16, nullptr, nullptr},
      // From version 10 Hwnd names the host's process: a window of this process titled like
      // the caption, as the user's own host of the same version shows it, is never chosen.
      {"version 12: the Hwnd window, titled like the caption", {}, 12, L"XLMAIN", L"Microsoft Excel"},
      {"version 12: the Hwnd window, titled otherwise than the caption", {"title=Book1 - Microsoft Excel"}, 12,
       L"XLMAIN", L"Book1 - Microsoft Excel"},
      {"version 12, no Hwnd: no window", {"hwnd=zero"}, 12, nullptr, nullptr},
      {"version 10: the Hwnd window", {}, 10, L"XLMAIN", L"Microsoft Excel"},
      // Before Hwnd any process's window may match, so these hosts carry captions of their own.
      {"below 10: by class and caption", {"caption=Old Host", "title=Book1", "extraWindows=Old Host|Book2"}, 9,
       L"XLMAIN", L"Old Host"},
      {"below 10: no window titled like the caption", {"caption=Old Host 2", "title=Book1"}, 9, nullptr, nullptr},
  };
  for (const WindowCase& c : cases) {
    SCOPED_TRACE(c.name);
    WriteScenario(c.scenario);
    ComPtr<IDispatch> host = StartHost();
    ASSERT_TRUE(host);
    // The decoy carries the caption exactly; by class and caption alone it would win.
    std::unique_ptr<DecoyWindow> decoy;
    if (c.version >= 10) decoy = std::make_unique<DecoyWindow>(L"Microsoft Excel");

    HWND found = FindHostMainWindow(host.Get(), c.version);
    if (!c.className) {
      EXPECT_EQ(found, nullptr);
      continue;
    }
    ASSERT_NE(found, nullptr);
    EXPECT_NE(WindowProcess(found), GetCurrentProcessId());
    EXPECT_EQ(found, FindProcessWindow(WindowProcess(found), c.className, c.title));
  }
}

}  // namespace
