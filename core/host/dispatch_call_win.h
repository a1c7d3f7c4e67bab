#pragma once
// The three late-bound call primitives every host operation goes through. Members are
// addressed by fixed DISPIDs; no type library and no name lookup. A failed call never
// comes back as a value: it is raised as _com_error.
#include <windows.h>
#include <oleauto.h>

#include <initializer_list>

// One positional argument and its automation type. The type list of a call is the
// types of its arguments, in call order. Nothing is copied or owned: a BSTR, an
// interface or a VARIANT stays the caller's for the duration of the call.
struct DispatchArg {
  VARTYPE type = VT_EMPTY;
  LONG number = 0;                  // VT_I4, and VT_BOOL (any non-zero value is true)
  BSTR text = nullptr;              // VT_BSTR
  IUnknown* object = nullptr;       // VT_DISPATCH, VT_UNKNOWN
  const VARIANT* variant = nullptr; // VT_VARIANT: its contents are passed unchanged

  static DispatchArg Bool(bool value) { return {VT_BOOL, value ? 1 : 0, nullptr, nullptr, nullptr}; }
  static DispatchArg I4(LONG value) { return {VT_I4, value, nullptr, nullptr, nullptr}; }
  static DispatchArg Bstr(BSTR value) { return {VT_BSTR, 0, value, nullptr, nullptr}; }
  static DispatchArg Dispatch(IDispatch* value) { return {VT_DISPATCH, 0, nullptr, value, nullptr}; }
  static DispatchArg Variant(const VARIANT* value) { return {VT_VARIANT, 0, nullptr, nullptr, value}; }
};

// Calls member `dispid` with `flags` (DISPATCH_METHOD or DISPATCH_PROPERTYGET). When
// `resultType` is not VT_EMPTY, `result` (cleared first) receives the value converted
// to that type, or as the server returned it for VT_VARIANT; the caller owns it.
HRESULT CallMethod(IDispatch* target, DISPID dispid, WORD flags, VARTYPE resultType, VARIANT* result,
                   std::initializer_list<DispatchArg> args);

// Reads a property, converted to `resultType`.
HRESULT GetProperty(IDispatch* target, DISPID dispid, VARTYPE resultType, VARIANT* result);

// Writes a property: by reference for an interface value, by value otherwise.
HRESULT PutProperty(IDispatch* target, DISPID dispid, const DispatchArg& value);
