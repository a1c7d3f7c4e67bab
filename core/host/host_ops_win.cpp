#include "core/host/host_ops_win.h"

#include <array>

#include "core/host/com_error_win.h"
#include "core/host/dispatch_call_win.h"

namespace {

constexpr LONG kUiLanguage = 2;  // the language settings' index of the user-interface language
constexpr LCID kSystemDefaultLocale = 0x0800;

std::wstring GetTextProperty(IDispatch* host, DISPID dispid) {
  ScopedVariant value;
  GetProperty(host, dispid, VT_BSTR, value.get());
  BSTR text = (*value).bstrVal;
  return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

LONG GetI4Property(IDispatch* host, DISPID dispid) {
  ScopedVariant value;
  GetProperty(host, dispid, VT_I4, value.get());
  return (*value).lVal;
}

ComPtr<IDispatch> GetObjectProperty(IDispatch* host, DISPID dispid) {
  ScopedVariant value;
  GetProperty(host, dispid, VT_DISPATCH, value.get());
  IDispatch* object = (*value).pdispVal;
  if (object) object->AddRef();
  return ComPtr<IDispatch>(object);
}

}  // namespace

void SetHostVisible(IDispatch* host, bool visible) {
  PutProperty(host, HostDispid::kVisible, DispatchArg::Bool(visible));
}

std::wstring GetHostVersionText(IDispatch* host) { return GetTextProperty(host, HostDispid::kVersion); }

std::wstring GetHostProductCode(IDispatch* host) { return GetTextProperty(host, HostDispid::kProductCode); }

HWND GetHostHwnd(IDispatch* host) {
  // A window handle travels as 32 bits; widening sign-extends it, as handles are.
  LONG value = GetI4Property(host, HostDispid::kHwnd);
  return reinterpret_cast<HWND>(static_cast<LONG_PTR>(value));
}

std::wstring GetHostCaption(IDispatch* host) { return GetTextProperty(host, HostDispid::kCaption); }

void SetHostCaption(IDispatch* host, const std::wstring& caption) {
  ScopedBstr text(caption.c_str());
  PutProperty(host, HostDispid::kCaption, DispatchArg::Bstr(text.get()));
}

int32_t GetHostUiLanguage(IDispatch* host) {
  ComPtr<IDispatch> settings = GetObjectProperty(host, HostDispid::kLanguageSettings);
  if (!settings) return 0;
  ScopedVariant which;
  which.get()->vt = VT_I4;
  which.get()->lVal = kUiLanguage;
  ScopedVariant language;
  CallMethod(settings.Get(), HostDispid::kLanguageId, DISPATCH_PROPERTYGET, VT_VARIANT, language.get(),
             {DispatchArg::Variant(which.get())});
  // Only a plain or by-reference integer is read; any other shape carries no language id.
  const VARIANT& v = *language;
  if (v.vt == VT_I4) return v.lVal;
  if (v.vt == (VT_I4 | VT_BYREF) && v.plVal) return *v.plVal;
  return 0;
}

int32_t GetHostDefaultSaveFormat(IDispatch* host) { return GetI4Property(host, HostDispid::kDefaultSaveFormat); }

void SetHostDisplayAlerts(IDispatch* host, bool enabled) {
  PutProperty(host, HostDispid::kDisplayAlerts, DispatchArg::Bool(enabled));
}

void SetHostUserControl(IDispatch* host, bool userControl) {
  PutProperty(host, HostDispid::kUserControl, DispatchArg::Bool(userControl));
}

void CloseHostWorkbooks(IDispatch* host) {
  ComPtr<IDispatch> workbooks = GetObjectProperty(host, HostDispid::kWorkbooks);
  if (!workbooks) return;
  CallMethod(workbooks.Get(), HostDispid::kWorkbooksClose, DISPATCH_METHOD, VT_EMPTY, nullptr, {});
}

void QuitHost(IDispatch* host) {
  CallMethod(host, HostDispid::kQuit, DISPATCH_METHOD, VT_EMPTY, nullptr, {});
}

ComPtr<IDispatch> OpenWorkbookInHost(IDispatch* host, const std::wstring& path, HRESULT* outcome) {
  ComPtr<IDispatch> workbooks = GetObjectProperty(host, HostDispid::kWorkbooks);
  if (!workbooks) return {};

  // The file name and twelve optional arguments marked as not given, in reverse order.
  std::array<VARIANT, 13> args;
  for (VARIANT& arg : args) {
    VariantInit(&arg);
    arg.vt = VT_ERROR;
    arg.scode = DISP_E_PARAMNOTFOUND;
  }
  VARIANT& file = args[args.size() - 1];
  file.vt = VT_BSTR;
  file.bstrVal = SysAllocStringLen(path.data(), static_cast<UINT>(path.size()));

  DISPPARAMS params{};
  params.rgvarg = args.data();
  params.cArgs = static_cast<UINT>(args.size());
  ScopedVariant result;
  EXCEPINFO exception{};
  UINT argError = 0;
  HRESULT hr = workbooks->Invoke(HostDispid::kWorkbooksOpen, IID_NULL, kSystemDefaultLocale, DISPATCH_METHOD,
                                 &params, result.get(), &exception, &argError);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  for (VARIANT& arg : args) VariantClear(&arg);
  if (outcome) *outcome = hr;

  ComPtr<IDispatch> workbook;
  if (SUCCEEDED(hr) && (*result).vt == VT_DISPATCH && (*result).pdispVal) {
    workbook.Reset((*result).pdispVal);
    workbook->AddRef();
  }
  return workbook;
}

void CloseWorkbookUnsaved(IDispatch* workbook) {
  CallMethod(workbook, HostDispid::kWorkbookClose, DISPATCH_METHOD, VT_EMPTY, nullptr, {DispatchArg::Bool(false)});
}

ComPtr<IDispatch> OpenWorkbookForUser(IDispatch* host, const std::wstring& path, const std::wstring& password) {
  ComPtr<IDispatch> workbooks = GetObjectProperty(host, HostDispid::kWorkbooks);
  if (!workbooks) throw _com_error(E_POINTER);
  // The file name, the password (fifth) when there is one, the other optional arguments
  // left out, then AddToMru false.
  VARIANT missing;
  VariantInit(&missing);
  missing.vt = VT_ERROR;
  missing.scode = DISP_E_PARAMNOTFOUND;
  ScopedBstr file(path.c_str());
  ScopedBstr secret(password.empty() ? nullptr : password.c_str());
  DispatchArg skip = DispatchArg::Variant(&missing);
  DispatchArg passwordArg = password.empty() ? skip : DispatchArg::Bstr(secret.get());
  ScopedVariant result;
  CallMethod(workbooks.Get(), HostDispid::kWorkbooksOpen, DISPATCH_METHOD, VT_DISPATCH, result.get(),
             {DispatchArg::Bstr(file.get()), skip, skip, skip, passwordArg, skip, skip, skip, skip, skip, skip, skip,
              DispatchArg::Bool(false)});
  IDispatch* workbook = (*result).pdispVal;
  if (!workbook) throw _com_error(E_POINTER);
  workbook->AddRef();
  return ComPtr<IDispatch>(workbook);
}

int32_t CountHostWorkbooks(IDispatch* host) {
  ComPtr<IDispatch> workbooks = GetObjectProperty(host, HostDispid::kWorkbooks);
  return workbooks ? GetI4Property(workbooks.Get(), HostDispid::kWorkbooksCount) : 0;
}

bool IsWorkbookSaved(IDispatch* workbook) {
  ScopedVariant saved;
  GetProperty(workbook, HostDispid::kWorkbookSaved, VT_BOOL, saved.get());
  return (*saved).boolVal != VARIANT_FALSE;
}

DISPID FindMemberByName(IDispatch* target, const wchar_t* name) {
  if (!target) return DISPID_UNKNOWN;
  std::wstring copy(name);
  LPOLESTR names[] = {copy.data()};
  DISPID dispid = DISPID_UNKNOWN;
  if (FAILED(target->GetIDsOfNames(IID_NULL, names, 1, kSystemDefaultLocale, &dispid))) return DISPID_UNKNOWN;
  return dispid;
}

namespace {

DISPID RequireMember(IDispatch* target, const wchar_t* name) {
  DISPID dispid = FindMemberByName(target, name);
  if (dispid == DISPID_UNKNOWN) throw _com_error(DISP_E_UNKNOWNNAME);
  return dispid;
}

}  // namespace

ComPtr<IDispatch> AddHostWorkbook(IDispatch* host) {
  ComPtr<IDispatch> workbooks = GetObjectProperty(host, HostDispid::kWorkbooks);
  if (!workbooks) throw _com_error(E_POINTER);
  ScopedVariant result;
  CallMethod(workbooks.Get(), RequireMember(workbooks.Get(), L"Add"), DISPATCH_METHOD, VT_DISPATCH, result.get(), {});
  IDispatch* workbook = (*result).pdispVal;
  if (!workbook) throw _com_error(E_POINTER);
  workbook->AddRef();
  return ComPtr<IDispatch>(workbook);
}

bool RegisterHostXll(IDispatch* host, const std::wstring& path) {
  ScopedBstr file(path.c_str());
  ScopedVariant loaded;
  CallMethod(host, RequireMember(host, L"RegisterXLL"), DISPATCH_METHOD, VT_BOOL, loaded.get(),
             {DispatchArg::Bstr(file.get())});
  return (*loaded).boolVal != VARIANT_FALSE;
}

ComPtr<IDispatch> GetApplicationOf(IDispatch* object) {
  return GetObjectProperty(object, RequireMember(object, L"Application"));
}

// The workbook's members below are found by name, as Excel's documentation names them:
// it gives no numbers for them.
std::wstring GetWorkbookFullName(IDispatch* workbook) {
  return GetTextProperty(workbook, RequireMember(workbook, L"FullName"));
}

void SaveWorkbookCopy(IDispatch* workbook, const std::wstring& path) {
  ScopedBstr file(path.c_str());
  CallMethod(workbook, RequireMember(workbook, L"SaveCopyAs"), DISPATCH_METHOD, VT_EMPTY, nullptr,
             {DispatchArg::Bstr(file.get())});
}

void SetWorkbookPassword(IDispatch* workbook, const std::wstring& password) {
  ScopedBstr secret(password.c_str());
  PutProperty(workbook, RequireMember(workbook, L"Password"), DispatchArg::Bstr(secret.get()));
}

void SaveWorkbook(IDispatch* workbook) {
  CallMethod(workbook, RequireMember(workbook, L"Save"), DISPATCH_METHOD, VT_EMPTY, nullptr, {});
}
