#include "testkit/fakehost/dispatch_object_win.h"

#include <cwchar>
#include <string>

#include "testkit/common/journal_win.h"
#include "testkit/fakehost/host_objects_win.h"
#include "testkit/fakehost/host_state_win.h"

namespace {

std::string FlagNames(WORD flags) {
  static const struct {
    WORD flag;
    const char* name;
  } kNames[] = {{DISPATCH_METHOD, "method"},
                {DISPATCH_PROPERTYGET, "get"},
                {DISPATCH_PROPERTYPUT, "put"},
                {DISPATCH_PROPERTYPUTREF, "putref"}};
  std::string out;
  for (const auto& entry : kNames) {
    if (!(flags & entry.flag)) continue;
    if (!out.empty()) out += '|';
    out += entry.name;
  }
  return out.empty() ? "none" : out;
}

std::string TypeName(VARTYPE type) {
  std::string name;
  switch (type & VT_TYPEMASK) {
    case VT_EMPTY: name = "empty"; break;
    case VT_NULL: name = "null"; break;
    case VT_I2: name = "i2"; break;
    case VT_I4: name = "i4"; break;
    case VT_R8: name = "r8"; break;
    case VT_BSTR: name = "bstr"; break;
    case VT_DISPATCH: name = "dispatch"; break;
    case VT_ERROR: name = "error"; break;
    case VT_BOOL: name = "bool"; break;
    case VT_VARIANT: name = "variant"; break;
    case VT_UNKNOWN: name = "unknown"; break;
    default: name = "vt" + std::to_string(type & VT_TYPEMASK);
  }
  if (type & VT_ARRAY) name += "[]";
  if (type & VT_BYREF) name += "&";
  return name;
}

// `<type> <value>`: the value as the journal writes it, "-" where there is none.
std::string ArgumentText(const VARIANT& v) {
  std::string type = TypeName(v.vt);
  if (v.vt & (VT_BYREF | VT_ARRAY)) return type + " -";
  switch (v.vt) {
    case VT_I2: return type + " " + std::to_string(v.iVal);
    case VT_I4: return type + " " + std::to_string(v.lVal);
    case VT_R8: return type + " " + std::to_string(v.dblVal);
    case VT_BOOL: return type + " " + std::to_string(v.boolVal);
    case VT_ERROR: return type + " " + std::to_string(v.scode);
    case VT_BSTR:
      return type + " " + (v.bstrVal ? QuoteText(std::wstring_view(v.bstrVal, SysStringLen(v.bstrVal))) : "null");
    case VT_DISPATCH: return type + (v.pdispVal ? " object" : " null");
    case VT_UNKNOWN: return type + (v.punkVal ? " object" : " null");
    default: return type + " -";
  }
}

constexpr DISPID kWorkbooksOpenDispid = 682;

// invoke <dispid> <flags> <positional arguments in call order> <named arguments> lcid=<locale>
std::string InvokeLine(DISPID dispid, WORD flags, const DISPPARAMS* params, LCID locale) {
  std::string line = "invoke " + std::to_string(dispid) + " " + FlagNames(flags);
  if (params) {
    UINT named = params->cNamedArgs <= params->cArgs ? params->cNamedArgs : params->cArgs;
    for (UINT i = params->cArgs; i > named; --i) {
      // Workbooks.Open's fifth argument is a password: the journal says only that there is one.
      const bool secret = dispid == kWorkbooksOpenDispid && params->cArgs - i == 4 && params->rgvarg[i - 1].vt == VT_BSTR;
      line += " " + (secret ? std::string("bstr <password>") : ArgumentText(params->rgvarg[i - 1]));
    }
    for (UINT i = 0; i < named; ++i) {
      // So is the value a workbook's Password is set to.
      const bool secret = dispid == kWorkbookPasswordDispid && params->rgvarg[i].vt == VT_BSTR;
      line += " named=" + std::to_string(params->rgdispidNamedArgs[i]) + " " +
              (secret ? std::string("bstr <password>") : ArgumentText(params->rgvarg[i]));
    }
  }
  return line + " lcid=" + std::to_string(locale);
}

}  // namespace

HRESULT STDMETHODCALLTYPE DispatchObject::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE DispatchObject::AddRef() { return InterlockedIncrement(&references_); }

ULONG STDMETHODCALLTYPE DispatchObject::Release() {
  LONG left = InterlockedDecrement(&references_);
  if (left == 0) {
    LastReleased();
    delete this;
  } else {
    Released(left);
  }
  return left;
}

HRESULT STDMETHODCALLTYPE DispatchObject::GetTypeInfoCount(UINT* count) {
  if (count) *count = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DispatchObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return DISP_E_BADINDEX;
}

// A name the object does not know is answered as a type-library dispatcher answers it;
// a lookup of several names (a member and its named arguments) is not needed by any client.
HRESULT STDMETHODCALLTYPE DispatchObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  const std::wstring name = names && names[0] ? names[0] : L"";
  Host().journal.Write("names " + QuoteText(std::wstring_view(name)));
  if (!ids) return E_POINTER;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  if (count != 1) return DISP_E_UNKNOWNNAME;
  ids[0] = MemberByName(name);
  return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT STDMETHODCALLTYPE DispatchObject::Invoke(DISPID dispid, REFIID iid, LCID locale, WORD flags,
                                                 DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception, UINT*) {
  Host().journal.Write(InvokeLine(dispid, flags, params, locale));
  // The interface id is reserved and must be IID_NULL; a type-library dispatcher refuses others.
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (!params) return E_INVALIDARG;
  exception_ = exception;

  if (auto failure = Host().scenario.Find("fail." + std::to_string(dispid))) {
    // "<HRESULT hex> <description>"; a value below 0x10000 is sent as a wCode instead.
    wchar_t* rest = nullptr;
    unsigned long code = std::wcstoul(failure->c_str(), &rest, 16);
    if (*rest == L' ') ++rest;
    return Raise(static_cast<HRESULT>(code), rest);
  }
  return Member(dispid, DispatchCall{flags, params, result});
}

HRESULT DispatchObject::Raise(HRESULT code, const std::wstring& description) {
  if (!exception_) return DISP_E_EXCEPTION;
  *exception_ = EXCEPINFO{};
  if (static_cast<unsigned long>(code) < 0x10000) {
    exception_->wCode = static_cast<WORD>(code);
  } else {
    exception_->scode = code;
  }
  exception_->bstrSource = SysAllocString(L"Microsoft Excel");
  exception_->bstrDescription = SysAllocString(description.c_str());
  return DISP_E_EXCEPTION;
}

HRESULT CheckGet(const DispatchCall& call, UINT args) {
  if (!(call.flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
  if (call.params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  if (call.params->cArgs != args) return DISP_E_BADPARAMCOUNT;
  return S_OK;
}

HRESULT CheckMethod(const DispatchCall& call) {
  if (!(call.flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
  if (call.params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  if (call.params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
  return S_OK;
}

HRESULT TakePut(const DispatchCall& call, VARTYPE type, VARIANT& value) {
  if (!(call.flags & DISPATCH_PROPERTYPUT)) return DISP_E_MEMBERNOTFOUND;
  const DISPPARAMS& params = *call.params;
  if (params.cNamedArgs != 1 || params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) return DISP_E_PARAMNOTFOUND;
  if (params.cArgs != 1) return DISP_E_BADPARAMCOUNT;
  VariantInit(&value);
  if (FAILED(VariantChangeType(&value, &params.rgvarg[0], 0, type))) return DISP_E_TYPEMISMATCH;
  return S_OK;
}

void ReturnI4(const DispatchCall& call, LONG value) {
  if (!call.result) return;
  VariantClear(call.result);
  call.result->vt = VT_I4;
  call.result->lVal = value;
}

void ReturnBool(const DispatchCall& call, bool value) {
  if (!call.result) return;
  VariantClear(call.result);
  call.result->vt = VT_BOOL;
  call.result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void ReturnBstr(const DispatchCall& call, const std::wstring& text, bool nullString) {
  if (!call.result) return;
  VariantClear(call.result);
  call.result->vt = VT_BSTR;
  call.result->bstrVal = nullString ? nullptr : SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

void ReturnObject(const DispatchCall& call, IDispatch* object) {
  if (!call.result) {
    if (object) object->Release();
    return;
  }
  VariantClear(call.result);
  call.result->vt = VT_DISPATCH;
  call.result->pdispVal = object;
}
