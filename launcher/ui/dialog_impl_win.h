#pragma once
// Modal dialogs of the window layer. The dialog procedure finds its C++ object
// through DWLP_USER (stored at WM_INITDIALOG) and asks T::ProcessWindowMessage, as
// windows do. CDialogImpl runs the resource template T::IDD; CIndirectDialogImpl runs
// a template in memory that T hands out; CEmptyDialogImpl owns such a template with
// no controls, whose dialog is then filled in code.
#include <windows.h>

#include "launcher/ui/empty_dlg_template_win.h"
#include "launcher/ui/window_impl_win.h"

template <class T, class TBase = CWindow>
class CDialogImpl : public TBase {
 public:
  CDialogImpl() = default;
  CDialogImpl(const CDialogImpl&) = delete;
  CDialogImpl& operator=(const CDialogImpl&) = delete;

  INT_PTR DoModal(HWND owner) {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(T::IDD), owner, DialogProc,
                           reinterpret_cast<LPARAM>(static_cast<T*>(this)));
  }

  void EndDialog(INT_PTR result) { ::EndDialog(this->m_hWnd, result); }

 protected:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    T* self = reinterpret_cast<T*>(GetWindowLongPtrW(window, DWLP_USER));
    if (message == WM_INITDIALOG) {
      self = reinterpret_cast<T*>(lParam);
      self->m_hWnd = window;
      SetWindowLongPtrW(window, DWLP_USER, lParam);
    }
    if (!self) return FALSE;

    LRESULT result = 0;
    bool handled = false;
    try {
      handled = self->ProcessWindowMessage(window, message, wParam, lParam, result);
    } catch (...) {
      // A dialog that fails to build or answer is ended; its caller sees -1.
      ::EndDialog(window, -1);
      return TRUE;
    }
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrW(window, DWLP_USER, 0);
      self->m_hWnd = nullptr;
    }
    if (!handled) return FALSE;
    if (ReturnsResultDirectly(message)) return static_cast<INT_PTR>(result);
    SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
  }

 private:
  // Messages whose answer is the dialog procedure's return value itself.
  static bool ReturnsResultDirectly(UINT message) {
    switch (message) {
      case WM_INITDIALOG:
      case WM_CTLCOLORMSGBOX:
      case WM_CTLCOLOREDIT:
      case WM_CTLCOLORLISTBOX:
      case WM_CTLCOLORBTN:
      case WM_CTLCOLORDLG:
      case WM_CTLCOLORSCROLLBAR:
      case WM_CTLCOLORSTATIC:
      case WM_COMPAREITEM:
      case WM_VKEYTOITEM:
      case WM_CHARTOITEM:
      case WM_QUERYDRAGICON:
        return true;
      default:
        return false;
    }
  }
};

// T provides `const DLGTEMPLATE* Template() const`.
template <class T, class TBase = CWindow>
class CIndirectDialogImpl : public CDialogImpl<T, TBase> {
 public:
  INT_PTR DoModal(HWND owner) {
    const DLGTEMPLATE* dialogTemplate = static_cast<T*>(this)->Template();
    if (!dialogTemplate) return -1;
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialogTemplate, owner, CDialogImpl<T, TBase>::DialogProc,
                                   reinterpret_cast<LPARAM>(static_cast<T*>(this)));
  }
};

// A dialog on an empty template of the given style, built at construction; the size
// is given in pixels and converted with the system font's dialog base units.
template <class T, DWORD Style, DWORD ExStyle, class TBase = CWindow>
class CEmptyDialogImpl : public CIndirectDialogImpl<T, TBase> {
 public:
  CEmptyDialogImpl(int widthPixels, int heightPixels) {
    m_Template.Create(Style, ExStyle, widthPixels, heightPixels);
  }
  const DLGTEMPLATE* Template() const { return m_Template.Get(); }

 protected:
  CEmptyDlgTemplate m_Template;
};
