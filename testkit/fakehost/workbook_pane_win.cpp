#include "testkit/fakehost/workbook_pane_win.h"

#include <oleacc.h>

#include "testkit/fakehost/dispatch_object_win.h"
#include "testkit/fakehost/host_objects_win.h"
#include "testkit/fakehost/host_state_win.h"

namespace {

// The stand-in's own number for the Window object's Application, which clients find by name.
constexpr DISPID kApplicationDispid = 3910;

// A workbook's Window object: all a client of the native object model needs of it is
// the way to the application. Code inside the host's process gets the application as
// the add-in does (its references keep the object, not the process).
class WorkbookWindow : public DispatchObject {
 protected:
  HRESULT Member(DISPID dispid, const DispatchCall& call) override {
    if (dispid != kApplicationDispid) return DISP_E_MEMBERNOTFOUND;
    if (HRESULT hr = CheckGet(call); FAILED(hr)) return hr;
    IDispatch* application = InProcessApplication();
    if (application) application->AddRef();
    ReturnObject(call, application);
    return S_OK;
  }

  DISPID MemberByName(const std::wstring& name) override {
    return _wcsicmp(name.c_str(), L"Application") == 0 ? kApplicationDispid : DISPID_UNKNOWN;
  }
};

HWND CreateChild(const wchar_t* className, HWND parent) {
  RECT area{};
  GetClientRect(parent, &area);
  return CreateWindowExW(0, className, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, area.right, area.bottom,
                         parent, nullptr, GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

LRESULT CALLBACK PaneWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_GETOBJECT && static_cast<LONG>(lParam) == OBJID_NATIVEOM) {
    Host().journal.Write("getobject nativeom");
    IDispatch* object = new WorkbookWindow();
    LRESULT result = LresultFromObject(IID_IDispatch, wParam, object);
    object->Release();
    return result;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateFrameDesktop(HWND frame) { return frame ? CreateChild(kDesktopClass, frame) : nullptr; }

HWND CreateWorkbookPane(HWND frame) {
  HWND desktop = frame ? FindWindowExW(frame, nullptr, kDesktopClass, nullptr) : nullptr;
  return desktop ? CreateChild(kPaneClass, desktop) : nullptr;
}
