#include "launcher/ui/rich_edit_win.h"

#include <algorithm>
#include <cstring>

namespace {

struct RtfSource {
  std::string_view bytes;  // what is left to hand out
};

// Hands out the next piece; the control calls until a call gives nothing.
DWORD CALLBACK ReadRtf(DWORD_PTR cookie, LPBYTE buffer, LONG capacity, LONG* count) {
  auto* source = reinterpret_cast<RtfSource*>(cookie);
  size_t room = capacity > 2 ? static_cast<size_t>(capacity - 2) : 0;
  size_t piece = std::min(room, source->bytes.size());
  std::memcpy(buffer, source->bytes.data(), piece);
  source->bytes.remove_prefix(piece);
  *count = static_cast<LONG>(piece);
  return 0;
}

}  // namespace

const WindowClassSpec& MyRichEditCtrl::ClassSpec() {
  static const WindowClassSpec classInfo{L"SheetpackRichEdit", MSFTEDIT_CLASS, 0, false};
  return classInfo;
}

bool MyRichEditCtrl::ProcessWindowMessage(HWND, UINT message, WPARAM, LPARAM, LRESULT& result) {
  if (message != WM_SETFOCUS) return false;
  result = 0;
  return true;
}

void StreamInRtf(MyRichEditCtrl& control, std::string_view rtf) {
  RtfSource source{rtf.substr(0, rtf.find('\0'))};
  EDITSTREAM stream = {};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
  stream.pfnCallback = ReadRtf;
  control.StreamIn(SF_RTF, stream);
}
