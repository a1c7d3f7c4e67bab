#include "core/host/dispatch_call_win.h"

#include <vector>

#include "core/win/scoped_win.h"
#include "core/host/com_error_win.h"

namespace {

// wCodes map into FACILITY_ITF from code 0x200 on; from 0xFE00 on, where 0x200 + wCode
// would leave the 16-bit code, they share its last value, 0xFFFF.
constexpr WORD kWCodeBase = 0x200;
constexpr WORD kWCodeCeiling = 0xFE00;
constexpr WORD kWCodeLastCode = 0xFFFF;

// The HRESULT a server meant by its EXCEPINFO: its scode, or else its wCode mapped the way
// OLE Automation clients have always mapped it.
HRESULT HResultOfException(const EXCEPINFO& info) {
  if (info.scode != 0) return info.scode;
  if (info.wCode >= kWCodeCeiling) return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, kWCodeLastCode);
  return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, kWCodeBase + info.wCode);
}

// The server's explanation as an error-info object, so that _com_error can describe the
// failure after EXCEPINFO is gone.
ComPtr<IErrorInfo> ErrorInfoOf(const EXCEPINFO& info) {
  ComPtr<ICreateErrorInfo> creator;
  if (FAILED(CreateErrorInfo(creator.Put()))) return {};
  creator->SetGUID(IID_IDispatch);
  creator->SetSource(info.bstrSource);
  creator->SetDescription(info.bstrDescription);
  creator->SetHelpFile(info.bstrHelpFile);
  creator->SetHelpContext(info.dwHelpContext);
  ComPtr<IErrorInfo> errorInfo;
  creator->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(errorInfo.Put()));
  return errorInfo;
}

void ClearExcepInfo(EXCEPINFO& info) {
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrHelpFile);
  info = EXCEPINFO{};
}

// A shallow VARIANT of the argument: nothing is copied, so nothing may be cleared.
VARIANT ArgumentVariant(const DispatchArg& arg) {
  VARIANT v;
  VariantInit(&v);
  switch (arg.type) {
    case VT_VARIANT:
      if (arg.variant) v = *arg.variant;
      break;
    case VT_BOOL:
      v.vt = VT_BOOL;
      v.boolVal = arg.number ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case VT_I4:
      v.vt = VT_I4;
      v.lVal = arg.number;
      break;
    case VT_BSTR:
      v.vt = VT_BSTR;
      v.bstrVal = arg.text;
      break;
    case VT_DISPATCH:
      v.vt = VT_DISPATCH;
      v.pdispVal = static_cast<IDispatch*>(arg.object);
      break;
    case VT_UNKNOWN:
      v.vt = VT_UNKNOWN;
      v.punkVal = arg.object;
      break;
    default:
      throw _com_error(E_INVALIDARG);  // a type the primitives do not pass
  }
  return v;
}

HRESULT Invoke(IDispatch* target, DISPID dispid, WORD flags, VARTYPE resultType, VARIANT* result,
               const DispatchArg* args, size_t count) {
  if (!target) throw _com_error(E_POINTER);

  // Positional arguments go in reverse: the last one at index 0.
  std::vector<VARIANT> arguments(count);
  for (size_t i = 0; i < count; ++i) arguments[count - 1 - i] = ArgumentVariant(args[i]);

  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params{};
  params.rgvarg = arguments.empty() ? nullptr : arguments.data();
  params.cArgs = static_cast<UINT>(arguments.size());
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    params.rgdispidNamedArgs = &putId;
    params.cNamedArgs = 1;
  }

  ScopedVariant value;
  EXCEPINFO exception{};
  UINT argError = 0;
  HRESULT hr = target->Invoke(dispid, IID_NULL, 0, flags, &params,
                              resultType != VT_EMPTY ? value.get() : nullptr, &exception, &argError);

  ComPtr<IErrorInfo> errorInfo;
  if (hr == DISP_E_EXCEPTION) {
    if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
    hr = HResultOfException(exception);
    errorInfo = ErrorInfoOf(exception);
  }
  ClearExcepInfo(exception);
  if (FAILED(hr)) throw _com_error(hr, errorInfo.Detach());

  if (resultType != VT_EMPTY && result) {
    if (resultType != VT_VARIANT && value.get()->vt != resultType) {
      hr = VariantChangeType(value.get(), value.get(), 0, resultType);
      if (FAILED(hr)) throw _com_error(hr);
    }
    VariantClear(result);
    *result = *value.get();  // the caller now owns what the value held
    VariantInit(value.get());
  }
  return hr;
}

}  // namespace

HRESULT CallMethod(IDispatch* target, DISPID dispid, WORD flags, VARTYPE resultType, VARIANT* result,
                   std::initializer_list<DispatchArg> args) {
  return Invoke(target, dispid, flags, resultType, result, args.begin(), args.size());
}

HRESULT GetProperty(IDispatch* target, DISPID dispid, VARTYPE resultType, VARIANT* result) {
  return Invoke(target, dispid, DISPATCH_PROPERTYGET, resultType, result, nullptr, 0);
}

HRESULT PutProperty(IDispatch* target, DISPID dispid, const DispatchArg& value) {
  WORD flags = (value.type == VT_DISPATCH || value.type == VT_UNKNOWN) ? DISPATCH_PROPERTYPUTREF
                                                                         : DISPATCH_PROPERTYPUT;
  return Invoke(target, dispid, flags, VT_EMPTY, nullptr, &value, 1);
}
