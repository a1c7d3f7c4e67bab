// The runtime add-in loaded into this test process as the host loads an XLL, this process
// playing the host: xlAutoOpen finds the application through the native object model of
// a workbook pane (XLMAIN > XLDESK > EXCEL7, WM_GETOBJECT with OBJID_NATIVEOM) and starts
// the runtime in front of the window the application's Hwnd names; wherever that way is
// not open it still answers 1, as the host wants, and leaves the window as it was.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/host/host_ops_win.h"
#include "tests/win/test_support_win.h"

namespace {

using XllEntry = int(__stdcall*)();

constexpr DISPID kApplicationDispid = 148;

// A Window object (whose Application is another of these) or the application itself
// (whose Hwnd names the frame). Names other than Application are unknown.
class HostObject : public CountedDispatch {
 public:
  HostObject(HWND frame, IDispatch* application) : frame_(frame), application_(application) {}
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (count != 1 || !application_ || lstrcmpiW(names[0], L"Application") != 0) return DISP_E_UNKNOWNNAME;
    ids[0] = kApplicationDispid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                   UINT*) override {
    members.push_back(dispid);
    VariantInit(result);
    if (dispid == kApplicationDispid && application_) {
      application_->AddRef();
      result->vt = VT_DISPATCH;
      result->pdispVal = application_;
      return S_OK;
    }
    if (dispid == HostDispid::kHwnd && frame_) {
      result->vt = VT_I4;
      result->lVal = static_cast<LONG>(reinterpret_cast<LONG_PTR>(frame_));
      return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
  }

  std::vector<DISPID> members;

 private:
  HWND frame_;
  IDispatch* application_;
};

// What the pane hands out for OBJID_NATIVEOM, and how often it was asked.
IDispatch* paneObject = nullptr;
int nativeRequests = 0;

LRESULT CALLBACK PaneProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_GETOBJECT && static_cast<LONG>(lParam) == OBJID_NATIVEOM) {
    ++nativeRequests;
    if (paneObject) return LresultFromObject(IID_IDispatch, wParam, paneObject);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void RegisterClassOnce(const wchar_t* name, WNDPROC procedure) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = name;
  RegisterClassExW(&windowClass);  // a second registration fails harmlessly
}

HWND Create(const wchar_t* className, HWND parent) {
  return CreateWindowExW(0, className, L"", parent ? WS_CHILD : WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, parent, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

WNDPROC ProcOf(HWND window) { return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)); }

TEST(RuntimeXllEntry, StartsThroughAWorkbookPaneAndOnlyThere) {
  // The host's thread is a single-threaded apartment; the pane's object crosses in a stream.
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  RegisterClassOnce(L"XLMAIN", DefWindowProcW);
  RegisterClassOnce(L"XLDESK", DefWindowProcW);
  RegisterClassOnce(L"EXCEL7", PaneProc);
  // case: (the frame has a desktop with a pane, the pane hands out a Window object,
  // whether the runtime starts)
  struct Case {
    const char* name;
    bool pane;
    bool object;
    bool starts;
  } cases[] = {
      {"no workbook window", false, false, false},
      {"a pane without the native object model", true, false, false},
      {"a pane handing out its Window", true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    std::wstring dll = folder.File(L"pelkostub.dll");
    ASSERT_TRUE(CopyFileW(BuildOutputPath(SHEETPACK_RUNTIME).c_str(), dll.c_str(), FALSE));
    HMODULE module = LoadLibraryW(dll.c_str());
    ASSERT_NE(module, nullptr);
    auto open = reinterpret_cast<XllEntry>(reinterpret_cast<void*>(GetProcAddress(module, "xlAutoOpen")));
    auto close = reinterpret_cast<XllEntry>(reinterpret_cast<void*>(GetProcAddress(module, "xlAutoClose")));
    ASSERT_NE(open, nullptr);
    ASSERT_NE(close, nullptr);

    HWND frame = Create(L"XLMAIN", nullptr);
    HWND desktop = c.pane ? Create(L"XLDESK", frame) : nullptr;
    HWND pane = c.pane ? Create(L"EXCEL7", desktop) : nullptr;
    ASSERT_NE(frame, nullptr);
    HostObject application(frame, nullptr);
    HostObject window(nullptr, &application);
    paneObject = c.object ? &window : nullptr;
    nativeRequests = 0;
    const WNDPROC before = ProcOf(frame);

    EXPECT_EQ(open(), 1) << "the host wants 1 whatever happened";
    EXPECT_EQ(nativeRequests, c.pane ? 1 : 0);
    EXPECT_EQ(ProcOf(frame) != before, c.starts) << "the runtime in front of the frame";
    EXPECT_EQ(application.members, c.starts ? std::vector<DISPID>{HostDispid::kHwnd} : std::vector<DISPID>{});
    EXPECT_EQ(application.references, c.starts ? 2u : 1u) << "a started runtime keeps the application";
    EXPECT_EQ(window.references, 1u) << "the Window object is let go";
    EXPECT_EQ(close(), 1);

    paneObject = nullptr;
    if (pane) DestroyWindow(pane);
    if (desktop) DestroyWindow(desktop);
    DestroyWindow(frame);
    FreeLibrary(module);
  }
  CoUninitialize();
}

}  // namespace
