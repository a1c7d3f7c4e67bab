// fakehost.exe: a stand-in for the spreadsheet host's automation server.
//   fakehost.exe /regserver     register for the host's ProgID, then exit
//   fakehost.exe /unregserver   remove that registration
//   fakehost.exe -Embedding     (started by COM) serve one application object
//   fakehost.exe /userhost      the user's own host beside it (scenario key userHost)
// The scenario comes from fakehost.ini beside the executable; every event goes to the
// journal it names.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>
#include <utility>

#include "testkit/fakehost/child_processes_win.h"
#include "testkit/fakehost/host_objects_win.h"
#include "testkit/fakehost/host_state_win.h"
#include "testkit/fakehost/host_window_win.h"
#include "testkit/fakehost/registration_win.h"
#include "testkit/fakehost/responsiveness_probe_win.h"
#include "testkit/fakehost/user_host_win.h"

namespace {

DWORD classCookie = 0;

// Serves exactly one application object: after the first creation the class is withdrawn,
// so every further client starts a fresh host process with the scenario of its time.
class HostClassFactory : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // static lifetime
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (served_) return CO_E_SERVER_STOPPING;
    served_ = true;
    if (classCookie) CoRevokeClassObject(std::exchange(classCookie, 0));
    IDispatch* application = NewApplication();
    HRESULT hr = application->QueryInterface(iid, object);
    application->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  bool served_ = false;
};

bool HasArgument(const wchar_t* wanted) {
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  bool found = false;
  for (int i = 1; args && i < count; ++i) found = found || lstrcmpiW(args[i], wanted) == 0;
  LocalFree(args);
  return found;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (HasArgument(L"/regserver")) return RegisterServer() ? 0 : 1;
  if (HasArgument(L"/unregserver")) return UnregisterServer() ? 0 : 1;
  if (HasArgument(L"/userhost")) return RunAsUserHost();

  CoInitialize(nullptr);
  HostState& host = Host();
  LoadHostState(host);
  if (!CreateHostWindows(host)) return 1;

  static HostClassFactory factory;
  if (FAILED(CoRegisterClassObject(kFakeHostClsid, &factory, CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE, &classCookie))) {
    return 1;
  }
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // posted <number> <milliseconds since the system started>: when a posted message of the
    // add-in protocol reached the host, before any add-in saw it.
    if (message.hwnd == host.mainWindow && message.message == kEndOfMessagePhase) {
      host.journal.Write("posted " + std::to_string(message.message) + " " + std::to_string(GetTickCount()));
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  // A WM_QUIT that the host did not post itself came from outside, posted to its window.
  if (!host.endRequested) host.journal.Write("wm_quit");
  // The real host takes its main windows down as it ends; an add-in sees them go.
  for (HWND window : host.workbookWindows) {
    if (window != host.mainWindow && IsWindow(window)) DestroyWindow(window);
  }
  for (HWND window : host.extraWindows) DestroyWindow(window);
  DestroyWindow(host.mainWindow);
  if (classCookie) CoRevokeClassObject(classCookie);
  EndUserHost();
  JournalChildProcesses(host);
  StopResponsivenessProbe(host);
  host.journal.Write("end");
  // A host stuck in its own end: still there, but answering nothing any more.
  if (long long stall = host.scenario.Number("stallAtEnd", 0); stall > 0) Sleep(static_cast<DWORD>(stall));
  CoUninitialize();
  return 0;
}
