#pragma once
// Small owners for Windows handles and COM objects: every release happens in a
// destructor, so no early return or exception leaks one.
#include <windows.h>
#include <oleauto.h>

#include <utility>

// A kernel handle closed with CloseHandle. Null and INVALID_HANDLE_VALUE own nothing.
class ScopedHandle {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~ScopedHandle() { reset(); }

  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE release() { return std::exchange(handle_, nullptr); }
  void reset(HANDLE handle = nullptr) {
    if (*this) CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_ = nullptr;
};

class ScopedRegKey {
 public:
  ScopedRegKey() = default;
  ScopedRegKey(const ScopedRegKey&) = delete;
  ScopedRegKey& operator=(const ScopedRegKey&) = delete;
  ~ScopedRegKey() {
    if (key_) RegCloseKey(key_);
  }
  HKEY get() const { return key_; }
  HKEY* put() { return &key_; }

 private:
  HKEY key_ = nullptr;
};

// A COM interface pointer, released once.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(T* pointer) : pointer_(pointer) {}  // takes ownership of one reference
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : pointer_(other.Detach()) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    Reset(other.Detach());
    return *this;
  }
  ~ComPtr() { Reset(); }

  T* Get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  // For out-parameters: releases what is held and hands out the slot.
  T** Put() {
    Reset();
    return &pointer_;
  }
  T* Detach() { return std::exchange(pointer_, nullptr); }
  void Reset(T* pointer = nullptr) {
    if (pointer_) pointer_->Release();
    pointer_ = pointer;
  }

 private:
  T* pointer_ = nullptr;
};

class ScopedVariant {
 public:
  ScopedVariant() { VariantInit(&value_); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;
  ~ScopedVariant() { VariantClear(&value_); }
  VARIANT* get() { return &value_; }
  const VARIANT& operator*() const { return value_; }

 private:
  VARIANT value_;
};

class ScopedBstr {
 public:
  ScopedBstr() = default;
  explicit ScopedBstr(const wchar_t* text) : bstr_(SysAllocString(text)) {}
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;
  ~ScopedBstr() { SysFreeString(bstr_); }
  BSTR get() const { return bstr_; }
  BSTR* put() {
    SysFreeString(bstr_);
    bstr_ = nullptr;
    return &bstr_;
  }

 private:
  BSTR bstr_ = nullptr;
};

// A GDI object (font, brush, bitmap) deleted with DeleteObject.
template <typename T>
class ScopedGdiObject {
 public:
  ScopedGdiObject() = default;
  explicit ScopedGdiObject(T object) : object_(object) {}
  ScopedGdiObject(const ScopedGdiObject&) = delete;
  ScopedGdiObject& operator=(const ScopedGdiObject&) = delete;
  ~ScopedGdiObject() { reset(); }
  T get() const { return object_; }
  void reset(T object = nullptr) {
    if (object_) DeleteObject(object_);
    object_ = object;
  }

 private:
  T object_ = nullptr;
};

// A window's device context released with ReleaseDC.
class ScopedWindowDc {
 public:
  explicit ScopedWindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ScopedWindowDc(const ScopedWindowDc&) = delete;
  ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;
  ~ScopedWindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};
