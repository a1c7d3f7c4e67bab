#pragma once
// The IDispatch plumbing shared by the stand-in host's objects: reference counting,
// journaling of every call as it arrives, failures injected by the scenario, and the
// argument checks a dispatch driven by a type library makes.
#include <windows.h>
#include <oleauto.h>

#include <string>

struct DispatchCall {
  WORD flags;
  DISPPARAMS* params;
  VARIANT* result;  // may be null
};

class DispatchObject : public IDispatch {
 public:
  DispatchObject() = default;
  DispatchObject(const DispatchObject&) = delete;
  DispatchObject& operator=(const DispatchObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

 protected:
  virtual ~DispatchObject() = default;
  // Answers one member; an unknown DISPID gives DISP_E_MEMBERNOTFOUND. A member that
  // fails the way the host reports errors returns Raise(...).
  virtual HRESULT Member(DISPID dispid, const DispatchCall& call) = 0;
  // The DISPID of a member found by name, or DISPID_UNKNOWN. Clients address the members
  // every version has by their fixed DISPIDs; only a member that some versions lack is
  // looked up.
  virtual DISPID MemberByName(const std::wstring& /*name*/) { return DISPID_UNKNOWN; }
  // Runs when the last reference goes, before the object is deleted.
  virtual void LastReleased() {}
  // Runs when a reference goes and `left` remain.
  virtual void Released(LONG /*left*/) {}

  // Fails the current call with DISP_E_EXCEPTION and this explanation.
  HRESULT Raise(HRESULT code, const std::wstring& description);

 private:
  LONG references_ = 1;
  EXCEPINFO* exception_ = nullptr;
};

// Argument checks: a property read with `args` positional arguments, a method without
// arguments, and a property write whose value is converted to `type` into `value`.
HRESULT CheckGet(const DispatchCall& call, UINT args = 0);
HRESULT CheckMethod(const DispatchCall& call);
HRESULT TakePut(const DispatchCall& call, VARTYPE type, VARIANT& value);

// Result setters; each does nothing when the caller asked for no result.
void ReturnI4(const DispatchCall& call, LONG value);
void ReturnBool(const DispatchCall& call, bool value);
void ReturnBstr(const DispatchCall& call, const std::wstring& text, bool nullString = false);
// Hands out the caller's reference to `object` (which may be null).
void ReturnObject(const DispatchCall& call, IDispatch* object);
