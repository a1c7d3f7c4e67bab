// The application object: every member the launcher reads or writes, with the types
// the real host declares for them.
#include <cwchar>
#include <string>

#include "testkit/fakehost/dispatch_object_win.h"
#include "testkit/fakehost/host_objects_win.h"
#include "testkit/fakehost/host_state_win.h"
#include "testkit/fakehost/xll_registration_win.h"

namespace {

// A host that was asked to quit lingers this long after its last client let go, so that
// a WM_QUIT the client posts after its release is still seen.
constexpr DWORD kQuitGraceMs = 1000;

DWORD QuitGraceMs(const HostState& host) {
  long long delay = host.scenario.Number("quitAfterRelease", -1);
  return delay >= 0 ? static_cast<DWORD>(delay) : kQuitGraceMs;
}

// The stand-in's own numbers for the members that clients find by name.
constexpr DISPID kFileValidationDispid = 3900;
constexpr DISPID kRegisterXllDispid = 3901;

// hwnd=real|zero|other: the main window, none, or another window of the process.
HWND HwndAnswer(const HostState& host) {
  std::wstring which = host.scenario.Text("hwnd", L"real");
  if (which == L"zero") return nullptr;
  if (which == L"other") return host.otherWindow;
  // windowPerWorkbook=1: the active workbook's window, as from version 15 on.
  if (host.activeWindow && IsWindow(host.activeWindow)) return host.activeWindow;
  return host.mainWindow;
}

class Application : public DispatchObject {
 protected:
  HRESULT Member(DISPID dispid, const DispatchCall& call) override {
    HostState& host = Host();
    VARIANT value;
    switch (dispid) {
      case 139:  // Caption
        if (call.flags & DISPATCH_PROPERTYPUT) {
          if (HRESULT hr = TakePut(call, VT_BSTR, value); FAILED(hr)) return hr;
          host.caption.assign(value.bstrVal ? value.bstrVal : L"", SysStringLen(value.bstrVal));
          VariantClear(&value);
          SetWindowTextW(host.mainWindow, host.caption.c_str());
          return S_OK;
        }
        return GetText(call, dispid, host.caption);
      case 302:  // Quit
        if (HRESULT hr = CheckMethod(call); FAILED(hr)) return hr;
        // The real host's process stays while a client still holds a reference.
        host.journal.Write("quit");
        host.quitRequested = true;
        // References inside the process (an add-in's) do not keep it.
        if (host.clientsGone) EndHost(QuitGraceMs(host));
        return S_OK;
      case 343:  // DisplayAlerts
        return BoolProperty(call, host.displayAlerts);
      case 392:  // Version
        return GetText(call, dispid, host.version);
      case 558:  // Visible
        if (call.flags & DISPATCH_PROPERTYPUT) {
          if (HRESULT hr = BoolProperty(call, host.visible); FAILED(hr)) return hr;
          ShowWindow(host.mainWindow, host.visible ? SW_SHOW : SW_HIDE);
          host.journal.Write(host.visible ? "visible 1" : "visible 0");
          return S_OK;
        }
        return BoolProperty(call, host.visible);
      case 572:  // Workbooks
        if (HRESULT hr = CheckGet(call); FAILED(hr)) return hr;
        ReturnObject(call, NewWorkbooks());
        return S_OK;
      case 1209:  // DefaultSaveFormat
        return I4Property(call, host.defaultSaveFormat);
      case 1210:  // UserControl
        return BoolProperty(call, host.userControl);
      case 1798:  // ProductCode
        return GetText(call, dispid, host.productCode);
      case 1801:  // LanguageSettings
        if (HRESULT hr = CheckGet(call); FAILED(hr)) return hr;
        ReturnObject(call, host.scenario.Text("language", L"") == L"noobject" ? nullptr : NewLanguageSettings());
        return S_OK;
      case 1950:  // Hwnd
        if (HRESULT hr = CheckGet(call); FAILED(hr)) return hr;
        ReturnI4(call, static_cast<LONG>(reinterpret_cast<LONG_PTR>(HwndAnswer(host))));
        return S_OK;
      case kFileValidationDispid:
        return FileValidation(call);
      case kRegisterXllDispid:
        return RegisterXllMember(call);
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

  DISPID MemberByName(const std::wstring& name) override {
    // Names are matched without regard to case, as a type-library dispatcher does.
    if (_wcsicmp(name.c_str(), L"FileValidation") == 0 && Host().hasFileValidation) return kFileValidationDispid;
    if (_wcsicmp(name.c_str(), L"RegisterXLL") == 0) return kRegisterXllDispid;
    return DISPID_UNKNOWN;
  }

  // RegisterXLL(Filename) As Boolean
  static HRESULT RegisterXllMember(const DispatchCall& call) {
    if (!(call.flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    if (call.params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    if (call.params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
    VARIANT name;
    VariantInit(&name);
    if (FAILED(VariantChangeType(&name, &call.params->rgvarg[0], 0, VT_BSTR))) return DISP_E_TYPEMISMATCH;
    std::wstring path(name.bstrVal ? name.bstrVal : L"", SysStringLen(name.bstrVal));
    VariantClear(&name);
    ReturnBool(call, RegisterXll(path));
    return S_OK;
  }

  HRESULT FileValidation(const DispatchCall& call) {
    HostState& host = Host();
    if (!host.hasFileValidation) return DISP_E_MEMBERNOTFOUND;
    const bool put = (call.flags & DISPATCH_PROPERTYPUT) != 0;
    if (host.refusesFileValidation) {
      host.journal.Write(put ? "fileValidation put refused" : "fileValidation get refused");
      return Raise(E_ACCESSDENIED, L"The setting is fixed by policy.");
    }
    if (HRESULT hr = I4Property(call, host.fileValidation); FAILED(hr)) return hr;
    host.journal.Write(std::string("fileValidation ") + (put ? "put " : "get ") + std::to_string(host.fileValidation));
    return S_OK;
  }

  // The real host ends when its last client in another process lets go, unless the user
  // has taken control and it was not asked to quit.
  void Released(LONG left) override {
    if (left == Host().inProcessReferences) ClientsGone();
  }
  void LastReleased() override {
    ClientsGone();
    Host().application = nullptr;
  }

  static void ClientsGone() {
    HostState& host = Host();
    if (host.clientsGone) return;
    host.clientsGone = true;
    host.journal.Write("released");
    // A scenario may have the host end by itself, even one under user control.
    long long delay = host.scenario.Number("quitAfterRelease", -1);
    if (host.quitRequested) {
      EndHost(QuitGraceMs(host));
    } else if (!host.userControl) {
      EndHost();
    } else if (delay >= 0) {
      EndHost(static_cast<DWORD>(delay));
    }
  }

 private:
  static HRESULT GetText(const DispatchCall& call, DISPID dispid, const std::wstring& text) {
    if (HRESULT hr = CheckGet(call); FAILED(hr)) return hr;
    ReturnBstr(call, text, ReturnsNullString(Host(), dispid));
    return S_OK;
  }

  static HRESULT BoolProperty(const DispatchCall& call, bool& property) {
    if (call.flags & DISPATCH_PROPERTYPUT) {
      VARIANT value;
      if (HRESULT hr = TakePut(call, VT_BOOL, value); FAILED(hr)) return hr;
      property = value.boolVal != VARIANT_FALSE;
      return S_OK;
    }
    if (HRESULT hr = CheckGet(call); FAILED(hr)) return hr;
    ReturnBool(call, property);
    return S_OK;
  }

  static HRESULT I4Property(const DispatchCall& call, LONG& property) {
    if (call.flags & DISPATCH_PROPERTYPUT) {
      VARIANT value;
      if (HRESULT hr = TakePut(call, VT_I4, value); FAILED(hr)) return hr;
      property = value.lVal;
      return S_OK;
    }
    if (HRESULT hr = CheckGet(call); FAILED(hr)) return hr;
    ReturnI4(call, property);
    return S_OK;
  }
};

class LanguageSettings : public DispatchObject {
 protected:
  HRESULT Member(DISPID dispid, const DispatchCall& call) override {
    if (dispid != 1) return DISP_E_MEMBERNOTFOUND;  // LanguageID(which)
    if (HRESULT hr = CheckGet(call, 1); FAILED(hr)) return hr;
    VARIANT which;
    VariantInit(&which);
    if (FAILED(VariantChangeType(&which, &call.params->rgvarg[0], 0, VT_I4))) return DISP_E_TYPEMISMATCH;
    std::wstring language = Host().scenario.Text("language", L"1033");
    if (language == L"none") {
      if (call.result) VariantClear(call.result);  // answers, but not with a number
    } else {
      ReturnI4(call, std::wcstol(language.c_str(), nullptr, 10));
    }
    return S_OK;
  }
};

}  // namespace

IDispatch* NewApplication() {
  auto* application = new Application();
  Host().application = application;
  return application;
}

IDispatch* NewLanguageSettings() { return new LanguageSettings(); }

namespace {

// Hands every call on to the application object, which it keeps for the process's life.
class ApplicationForAddIn : public IDispatch {
 public:
  explicit ApplicationForAddIn(IDispatch* application) : application_(application) {
    application_->AddRef();
    ++Host().inProcessReferences;
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch)) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives as long as the process
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return application_->GetTypeInfoCount(count); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return application_->GetTypeInfo(index, locale, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override {
    return application_->GetIDsOfNames(iid, names, count, locale, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argError) override {
    return application_->Invoke(dispid, iid, locale, flags, params, result, exception, argError);
  }

 private:
  IDispatch* application_;
};

}  // namespace

IDispatch* InProcessApplication() {
  HostState& host = Host();
  if (!host.inProcessApplication && host.application) {
    host.inProcessApplication = new ApplicationForAddIn(host.application);
  }
  return host.inProcessApplication;
}
