#include "runtime/host_window_win.h"

#include "core/host/addin_messages.h"
#include "runtime/end_of_life_win.h"
#include "runtime/launcher_link_win.h"
#include "runtime/runtime_state_win.h"
#include "runtime/takeover_win.h"

namespace {

// True when the message was the runtime's and the host's procedure must not see it.
bool HandleMessage(RuntimeState& state, UINT message, WPARAM wParam) {
  switch (message) {
    case AddInMessage::kAnnounceProcessId:
      LinkLauncherProcess(state, static_cast<DWORD>(wParam));
      return true;
    case AddInMessage::kSilentStart:
      state.silentStart = static_cast<uint32_t>(wParam);
      return true;
    case AddInMessage::kSettingsAvailable:
      ReadLauncherSettings(state);
      return true;
    case AddInMessage::kLastSynchronous:
      // 1155 may not have come; the take-over needs the settings either way.
      if (!state.settingsRead) ReadLauncherSettings(state);
      return true;
    case AddInMessage::kEndOfMessages:
      BeginTakeOver(state);
      return true;
    case AddInMessage::kHostSettings:
    case AddInMessage::kLauncherPathKnown:
    case AddInMessage::kStep1156:
    case AddInMessage::kStep1158:
    case AddInMessage::kStep1166:
    case AddInMessage::kStep1157:
    case AddInMessage::kStep1164:
    case AddInMessage::kStep1168:
    case AddInMessage::kStep1163:
      return true;  // nothing this runtime needs: 1181's save format and language included
    case WM_TIMER:
      if (wParam == RuntimeTimer::kOpenRetry) {
        RetryOpen(state);
        return true;
      }
      if (wParam == RuntimeTimer::kWatchWorkbook) {
        WatchWorkbook(state);
        return true;
      }
      return false;
    case WM_DESTROY:
      // The host is going down: the application's life is over (end_of_life_win.h).
      EndApplicationLife(state);
      return false;
    default:
      return false;
  }
}

LRESULT CALLBACK RuntimeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  RuntimeState& state = Runtime();
  // Taken first: the handling below may give the window its own procedure back.
  WNDPROC original = state.originalProc;
  bool handled = false;
  try {
    handled = HandleMessage(state, message, wParam);
  } catch (...) {
    // A failure of the runtime's must not reach the host: its own handling goes on.
  }
  if (message == WM_NCDESTROY) ReleaseHostWindow(state);
  if (handled) return 0;
  return original ? CallWindowProcW(original, window, message, wParam, lParam)
                  : DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool SubclassHostWindow(RuntimeState& state, HWND window) {
  if (!window || !IsWindow(window) || GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) return false;
  auto previous = SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RuntimeWindowProc));
  if (!previous) return false;
  state.hostWindow = window;
  state.originalProc = reinterpret_cast<WNDPROC>(previous);
  return true;
}

void ReleaseHostWindow(RuntimeState& state) {
  if (state.hostWindow) {
    KillTimer(state.hostWindow, RuntimeTimer::kOpenRetry);
    KillTimer(state.hostWindow, RuntimeTimer::kWatchWorkbook);
    // Only our own procedure is taken out: one put in front of it later stays, and with it
    // the chain through ours (which then passes everything on).
    auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(state.hostWindow, GWLP_WNDPROC));
    if (current == RuntimeWindowProc) {
      SetWindowLongPtrW(state.hostWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(state.originalProc));
    }
    state.hostWindow = nullptr;
  }
  state.workbook.Reset();
  state.application.Reset();
}
