// The runtime add-in loaded into this test process as a host loads it: its export's answers,
// its survival of an application object that fails and of a missing start-up file, and the
// window it leaves as it found it when it is unloaded.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/host/addin_messages.h"
#include "core/host/host_ops_win.h"
#include "tests/win/test_support_win.h"

namespace {

using Entry = int32_t(__stdcall*)(int32_t code, void* application, void* reserved);

// An application object that answers Hwnd with a window (or fails it) and refuses every
// other member, counting references and the members asked for.
class FakeApplication : public CountedDispatch {
 public:
  explicit FakeApplication(HWND window) : window_(window) {}
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                   UINT*) override {
    members.push_back(dispid);
    if (dispid != HostDispid::kHwnd || !window_) return DISP_E_MEMBERNOTFOUND;
    VariantInit(result);
    result->vt = VT_I4;
    result->lVal = static_cast<LONG>(reinterpret_cast<LONG_PTR>(window_));
    return S_OK;
  }

  std::vector<DISPID> members;

 private:
  HWND window_;
};

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

// The host's own procedure, recording the private messages that reach it.
std::vector<UINT> seen;
LRESULT CALLBACK RecordingHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_USER) seen.push_back(message);
  return DefWindowProcW(window, message, wParam, lParam);
}

// Another add-in's procedure, put in front of the runtime's after it started.
WNDPROC runtimeProc = nullptr;
LRESULT CALLBACK LaterAddInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcW(runtimeProc, window, message, wParam, lParam);
}

class RuntimeEntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A copy in a folder of its own: no start-up information file beside it.
    std::wstring dll = folder_.File(L"pelkostub.dll");
    ASSERT_TRUE(CopyFileW(BuildOutputPath(SHEETPACK_RUNTIME).c_str(), dll.c_str(), FALSE));
    module_ = LoadLibraryW(dll.c_str());
    ASSERT_NE(module_, nullptr);
    entry_ = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module_, "DummyFunc9")));
    ASSERT_NE(entry_, nullptr);
    window_ = CreateWindowExW(0, L"Static", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                              nullptr);
    ASSERT_NE(window_, nullptr);
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PlainWindowProc));
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
    if (window_) DestroyWindow(window_);
  }
  WNDPROC WindowProc() const { return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window_, GWLP_WNDPROC)); }

  TempFolder folder_;
  HMODULE module_ = nullptr;
  Entry entry_ = nullptr;
  HWND window_ = nullptr;
};

TEST_F(RuntimeEntryTest, RefusesOtherCodesAndApplicationsWithoutAWindowOfThisThread) {
  FakeApplication noWindow(nullptr);        // Hwnd fails: the failure stays inside the export
  FakeApplication foreign(GetDesktopWindow());  // a window of another thread cannot be subclassed
  FakeApplication good(window_);
  struct Case {
    int32_t code;
    void* application;
  } cases[] = {{1169, &good}, {0, &good}, {static_cast<int32_t>(AddInMessage::kLoaderCall), nullptr},
               {static_cast<int32_t>(AddInMessage::kLoaderCall), &noWindow},
               {static_cast<int32_t>(AddInMessage::kLoaderCall), &foreign}};
  for (const Case& c : cases) {
    EXPECT_EQ(entry_(c.code, c.application, nullptr), 0) << c.code;
    EXPECT_EQ(WindowProc(), PlainWindowProc);
  }
  EXPECT_EQ(good.references, 1u);
  EXPECT_EQ(noWindow.members, std::vector<DISPID>{HostDispid::kHwnd});
}

TEST_F(RuntimeEntryTest, StartsOnceSurvivesAMissingWorkbookAndLeavesTheWindowAsItWas) {
  FakeApplication application(window_);
  const auto code = static_cast<int32_t>(AddInMessage::kLoaderCall);
  ASSERT_EQ(entry_(code, &application, nullptr), 1);
  EXPECT_NE(WindowProc(), PlainWindowProc);
  EXPECT_EQ(application.references, 2u) << "the runtime keeps one reference";
  EXPECT_EQ(entry_(code, &application, nullptr), 1) << "a second start keeps the first";
  EXPECT_EQ(application.references, 2u);

  // No start-up information file and a launcher process that does not exist: the
  // take-over finds no workbook, shows nothing in a silent start, closes nothing and asks
  // how many workbooks are open before it would quit the host.
  SendMessageW(window_, AddInMessage::kAnnounceProcessId, 0, 0);
  SendMessageW(window_, AddInMessage::kSilentStart, 1, 0);
  SendMessageW(window_, AddInMessage::kSettingsAvailable, 0, 0);
  SendMessageW(window_, AddInMessage::kEndOfMessages, 0, 0);
  EXPECT_EQ(application.members.back(), HostDispid::kWorkbooks) << "the host's workbooks were counted";
  EXPECT_EQ(application.references, 1u) << "a host that refuses the count is let go";
  EXPECT_NE(WindowProc(), PlainWindowProc) << "still in place after the failed take-over";

  // Another add-in subclasses the window after the runtime, keeping the runtime's procedure
  // as the one it calls on.
  runtimeProc = WindowProc();
  SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LaterAddInProc));

  // Once started the runtime is pinned: unloading it leaves its code where the window's
  // chain, through the other add-in's procedure, still reaches it.
  FreeLibrary(module_);
  module_ = nullptr;
  ASSERT_NE(GetModuleHandleW(folder_.File(L"pelkostub.dll").c_str()), nullptr) << "pinned";
  EXPECT_EQ(SendMessageW(window_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"still alive")), TRUE);
}

TEST_F(RuntimeEntryTest, PassesEveryMessageOnAfterTheTakeOverAndNothingBeforeIt) {
  seen.clear();
  SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingHostProc));
  FakeApplication application(window_);
  ASSERT_EQ(entry_(static_cast<int32_t>(AddInMessage::kLoaderCall), &application, nullptr), 1);
  SendMessageW(window_, AddInMessage::kSilentStart, 1, 0);
  SendMessageW(window_, AddInMessage::kStep1156, 0, 0);
  EXPECT_TRUE(seen.empty()) << "the launcher's messages are the runtime's until 1171";
  SendMessageW(window_, AddInMessage::kEndOfMessages, 0, 0);
  SendMessageW(window_, AddInMessage::kStep1156, 0, 0);
  SendMessageW(window_, AddInMessage::kEndOfMessages, 0, 0);
  SendMessageW(window_, AddInMessage::kAnnounceProcessId, 0, 0);
  EXPECT_EQ(seen, (std::vector<UINT>{AddInMessage::kStep1156, AddInMessage::kEndOfMessages,
                                     AddInMessage::kAnnounceProcessId}));
}

}  // namespace
