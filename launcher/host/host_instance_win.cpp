#include "launcher/host/host_instance_win.h"

#include <string>
#include <vector>

#include "core/messages/message_text.h"
#include "launcher/base/launcher_state_win.h"
#include "core/win/wide_win.h"
#include "core/host/host_ops_win.h"
#include "core/host/host_version.h"
#include "core/text/message_texts.h"

namespace {

constexpr int kNameBuffer = 512;
// Application.Hwnd exists from version 10 (Excel 2002) on; only older hosts must be found
// by caption, which any process's window of the same class and title can answer.
constexpr int kFirstVersionWithHwnd = 10;

// The 64-bit builds of the host carry 0x10 0x00 at the start of the product code's last group.
constexpr BYTE kBitnessByte0 = 0x10;
constexpr BYTE kBitnessByte1 = 0x00;

struct WindowSearch {
  DWORD processId = 0;
  std::wstring className;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectHostWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (!window || processId != search->processId) return TRUE;
  wchar_t name[kNameBuffer] = {};
  GetClassNameW(window, name, kNameBuffer);
  if (search->className == name) search->found.push_back(window);
  return TRUE;
}

std::wstring WindowTitle(HWND window) {
  wchar_t title[kNameBuffer] = {};
  GetWindowTextW(window, title, kNameBuffer);
  return title;
}

}  // namespace

void CreateHost(ComPtr<IDispatch>& host, int& hostVersion) {
  std::wstring progId = ToWide(GetText(TextId::kHostProgId));
  CLSID clsid{};
  HRESULT hr = CLSIDFromProgID(progId.c_str(), &clsid);
  if (SUCCEEDED(hr)) {
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                          reinterpret_cast<void**>(host.Put()));
  }
  if (FAILED(hr)) {
    throw notice4user(MessageTextUtf8(OverrideKey::kHostMissingText, TextId::kHostNotCreated),
                      OverrideKey::kHostMissingCaption);
  }

  SetHostVisible(host.Get(), false);
  if (host) hostVersion = ParseHostVersion(FromWide(GetHostVersionText(host.Get())));
}

bool IsHost64Bit(IDispatch* host) {
  std::wstring productCode = GetHostProductCode(host);
  if (productCode.empty()) return false;
  CLSID code{};
  if (FAILED(CLSIDFromString(productCode.c_str(), &code))) return false;
  return code.Data4[0] == kBitnessByte0 && code.Data4[1] == kBitnessByte1;
}

HWND FindHostMainWindow(IDispatch* host, int hostVersion) {
  std::wstring className = ToWide(GetText(TextId::kHostWindowClass));
  if (hostVersion < kFirstVersionWithHwnd) {
    std::wstring caption = GetHostCaption(host);
    return FindWindowW(className.c_str(), caption.c_str());
  }

  HWND fallback = GetHostHwnd(host);
  std::wstring caption = GetHostCaption(host);
  WindowSearch search;
  search.className = className;
  GetWindowThreadProcessId(fallback, &search.processId);
  if (search.processId == 0) return fallback;  // no live window to tell the host's process by
  EnumWindows(CollectHostWindow, reinterpret_cast<LPARAM>(&search));

  if (search.found.empty()) return fallback;
  if (search.found.size() == 1) return search.found.front();
  // Several main-window candidates: the one showing the host's caption is the live one.
  for (HWND window : search.found) {
    if (WindowTitle(window) == caption) return window;
  }
  return fallback;
}
