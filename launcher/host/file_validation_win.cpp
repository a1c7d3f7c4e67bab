#include "launcher/host/file_validation_win.h"

#include "core/host/com_error_win.h"
#include "core/host/dispatch_call_win.h"
#include "core/host/host_ops_win.h"
#include "core/win/scoped_win.h"

namespace {

constexpr int kFirstValidatingVersion = 14;
constexpr LONG kValidationSkip = 1;  // msoFileValidationSkip

}  // namespace

FileValidationSkip::FileValidationSkip(IDispatch* host, int hostVersion) : host_(host) {
  if (!host_ || hostVersion < kFirstValidatingVersion) return;
  // Only hosts from version 14 have the member, and asking for its name is how a client
  // learns that without calling it.
  dispid_ = FindMemberByName(host_, L"FileValidation");
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
