#pragma once
// The exception every failed automation call raises: the failing HRESULT and, when the
// server said why, its error information. Deliberately not MinGW's comdef.h class: the
// launcher needs only this much, and owns its reference through ComPtr.
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "core/win/scoped_win.h"

class _com_error {
 public:
  // Takes one reference to `info` (which may be null).
  explicit _com_error(HRESULT hr, IErrorInfo* info = nullptr) : hr_(hr), info_(info) {}
  _com_error(const _com_error& other) : hr_(other.hr_), info_(other.info_.Get()) {
    if (info_) info_->AddRef();
  }
  _com_error& operator=(const _com_error& other) {
    if (this != &other) {
      if (other.info_) other.info_->AddRef();
      info_.Reset(other.info_.Get());
      hr_ = other.hr_;
    }
    return *this;
  }

  HRESULT Error() const { return hr_; }
  IErrorInfo* ErrorInfo() const { return info_.Get(); }

  // The server's description, or empty when there is no error information.
  std::wstring Description() const {
    if (!info_) return std::wstring();
    ScopedBstr text;
    if (FAILED(info_->GetDescription(text.put())) || !text.get()) return std::wstring();
    return std::wstring(text.get(), SysStringLen(text.get()));
  }

 private:
  HRESULT hr_;
  ComPtr<IErrorInfo> info_;
};
