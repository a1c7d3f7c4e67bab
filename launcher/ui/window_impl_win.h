#pragma once
// The launcher's own small window layer (MinGW has no ATL/WTL): a window handle
// wrapper and a window class template whose window procedure finds its C++ object
// through GWLP_USERDATA. A derived class T answers messages in one member,
//   bool ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT& result)
// written as a switch; false means "not handled" and the message goes on to the
// default (or superclassed) procedure. No exception leaves a window procedure.
#include <windows.h>

class CWindow {
 public:
  explicit CWindow(HWND window = nullptr) : m_hWnd(window) {}

  RECT GetWindowRect() const;
  RECT GetClientRect() const;

  // Centres a top-level window over `over`, or by default over its owner, when that
  // window is visible and not minimised; otherwise over the work area of the nearest
  // monitor. The result is kept inside that work area.
  void CenterWindow(HWND over = nullptr);

  HWND m_hWnd;
};

// What a window class of the layer is registered with. With `baseClass` set the class
// superclasses that system class: it takes all its settings and replaces only the
// window procedure, which then passes unhandled messages to the system one.
struct WindowClassSpec {
  const wchar_t* name;
  const wchar_t* baseClass;
  UINT style;
  bool arrowCursor;
};

// Registers the class once per process. Returns false when it cannot be registered
// (for a superclass: when the system class is not there).
bool RegisterLayerClass(const WindowClassSpec& classInfo, WNDPROC procedure, WNDPROC* baseProcedure);

template <class T, class TBase = CWindow>
class CWindowImpl : public TBase {
 public:
  CWindowImpl() = default;
  CWindowImpl(const CWindowImpl&) = delete;
  CWindowImpl& operator=(const CWindowImpl&) = delete;
  ~CWindowImpl() {
    if (this->m_hWnd) DestroyWindow(this->m_hWnd);
  }

  // Creates the window with T::ClassSpec(); null when the class or window cannot be made.
  HWND Create(HWND parent, const RECT& rect, const wchar_t* text, DWORD style, DWORD exStyle, UINT_PTR id = 0) {
    if (!RegisterLayerClass(T::ClassSpec(), WindowProc, &BaseProcedure())) return nullptr;
    HMENU menu = reinterpret_cast<HMENU>(id);
    return CreateWindowExW(exStyle, T::ClassSpec().name, text, style, rect.left, rect.top, rect.right - rect.left,
                           rect.bottom - rect.top, parent, menu, GetModuleHandleW(nullptr), static_cast<T*>(this));
  }

 private:
  static WNDPROC& BaseProcedure() {
    static WNDPROC base = nullptr;
    return base;
  }

  static LRESULT CallDefault(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC base = BaseProcedure();
    return base ? CallWindowProcW(base, window, message, wParam, lParam)
                : DefWindowProcW(window, message, wParam, lParam);
  }

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    T* self = reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self && message == WM_NCCREATE) {
      self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
      if (self) {
        self->m_hWnd = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
      }
    }
    if (!self) return CallDefault(window, message, wParam, lParam);

    LRESULT result = 0;
    bool handled = false;
    try {
      handled = self->ProcessWindowMessage(window, message, wParam, lParam, result);
    } catch (...) {
      handled = false;  // the default procedure answers instead
    }
    if (!handled) result = CallDefault(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      self->m_hWnd = nullptr;
    }
    return result;
  }
};
