#include "runtime/runtime_state_win.h"

#include "core/text/message_texts.h"
#include "core/win/wide_win.h"

RuntimeState& Runtime() {
  // Never destroyed: at process exit the host's objects it refers to may be gone already,
  // and releasing them then would harm the host. Orderly releases happen at end of life.
  static RuntimeState* state = new RuntimeState();
  return *state;
}

std::wstring AddInPath(const RuntimeState& state) {
  wchar_t path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameW(state.module, path, MAX_PATH);
  return std::wstring(path, length);
}

std::wstring AddInFolder(const RuntimeState& state) {
  std::wstring path = AddInPath(state);
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

HWND BoxOwner(const RuntimeState& state) {
  if (state.hostWindow && IsWindow(state.hostWindow)) return state.hostWindow;
  for (const auto& entry : state.windows) {
    if (IsWindow(entry.window)) return entry.window;
  }
  return nullptr;
}

std::wstring ApplicationTitle(const RuntimeState& state) {
  if (!state.settings.appTitle.empty()) return ToWide(state.settings.appTitle);
  return ToWide(GetText(TextId::kAppTitle));
}

void TellUser(const RuntimeState& state, const std::wstring& text, UINT icon) {
  MessageBoxW(BoxOwner(state), text.c_str(), ApplicationTitle(state).c_str(), MB_OK | icon | MB_SETFOREGROUND);
}
