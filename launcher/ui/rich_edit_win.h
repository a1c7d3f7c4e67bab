#pragma once
// The rich edit control of the start notice. CRichEditCtrlT wraps the few rich-edit
// messages the notice sends; MyRichEditCtrl superclasses "RICHEDIT50W" (registered by
// MSFTEDIT.DLL, which the run function loads) and swallows the focus, so the text
// shows no caret.
#include <windows.h>
#include <richedit.h>

#include <string>
#include <string_view>

#include "launcher/ui/window_impl_win.h"

template <class TBase = CWindow>
class CRichEditCtrlT : public TBase {
 public:
  void SetTargetDevice(HDC dc, LPARAM lineWidth) { Send(EM_SETTARGETDEVICE, reinterpret_cast<WPARAM>(dc), lineWidth); }
  void SetAutoURLDetect(bool detect) { Send(EM_AUTOURLDETECT, detect ? TRUE : FALSE, 0); }
  void SetEventMask(DWORD mask) { Send(EM_SETEVENTMASK, 0, mask); }
  void SetTextMode(UINT mode) { Send(EM_SETTEXTMODE, mode, 0); }
  void StreamIn(UINT format, EDITSTREAM& stream) { Send(EM_STREAMIN, format, reinterpret_cast<LPARAM>(&stream)); }
  int GetLineCount() const { return static_cast<int>(Send(EM_GETLINECOUNT, 0, 0)); }
  // The characters from `first` up to `last`; `capacity` counts the terminating zero.
  void GetTextRange(LONG first, LONG last, wchar_t* buffer, size_t capacity) const {
    if (capacity == 0) return;
    buffer[0] = L'\0';
    if (last < first || static_cast<size_t>(last - first) >= capacity) return;
    TEXTRANGEW range = {{first, last}, buffer};
    Send(EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
  }

 private:
  LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) const {
    return SendMessageW(this->m_hWnd, message, wParam, lParam);
  }
};

class MyRichEditCtrl : public CWindowImpl<MyRichEditCtrl, CRichEditCtrlT<CWindow>> {
 public:
  static const WindowClassSpec& ClassSpec();
  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
};

// Streams RTF bytes into the control, up to their first zero byte.
void StreamInRtf(MyRichEditCtrl& control, std::string_view rtf);
