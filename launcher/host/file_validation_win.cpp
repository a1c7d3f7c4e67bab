#include "launcher/host/file_validation_win.h"

#include "core/host/com_error_win.h"
#include "core/host/dispatch_call_win.h"
#include "core/win/scoped_win.h"

namespace {

constexpr int kFirstValidatingVersion = 14;
constexpr LONG kValidationSkip = 1;  // msoFileValidationSkip
constexpr LCID kSystemDefaultLocale = 0x0800;

// The one member the launcher finds by name: only hosts from version 14 have it, and
// asking for its name is how a client learns that without calling it.
DISPID FindFileValidation(IDispatch* host) {
  OLECHAR name[] = L"FileValidation";
  LPOLESTR names[] = {name};
  DISPID dispid = DISPID_UNKNOWN;
  if (FAILED(host->GetIDsOfNames(IID_NULL, names, 1, kSystemDefaultLocale, &dispid))) return DISPID_UNKNOWN;
  return dispid;
}

}  // namespace

FileValidationSkip::FileValidationSkip(IDispatch* host, int hostVersion) : host_(host) {
  if (!host_ || hostVersion < kFirstValidatingVersion) return;
  dispid_ = FindFileValidation(host_);
  if (dispid_ == DISPID_UNKNOWN) return;
  try {
    ScopedVariant mode;
    GetProperty(host_, dispid_, VT_I4, mode.get());
    previous_ = (*mode).lVal;
    PutProperty(host_, dispid_, DispatchArg::I4(kValidationSkip));
    changed_ = true;
  } catch (const _com_error&) {
    // Refused: the loader is opened with the host's own validation.
  }
}

FileValidationSkip::~FileValidationSkip() {
  if (!changed_) return;
  try {
    PutProperty(host_, dispid_, DispatchArg::I4(previous_));
  } catch (const _com_error&) {
    // The host refused to take its mode back; the launch goes on all the same.
  }
}
