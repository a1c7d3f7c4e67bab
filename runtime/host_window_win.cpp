#include "runtime/host_window_win.h"

#include <algorithm>

#include "core/host/addin_messages.h"
#include "runtime/end_of_life_win.h"
#include "runtime/launcher_link_win.h"
#include "runtime/runtime_state_win.h"
#include "runtime/state_saving_win.h"
#include "runtime/takeover_win.h"

namespace {

constexpr wchar_t kMainWindowClass[] = L"XLMAIN";

// True when the message was the runtime's and the host's procedure must not see it. The
// protocol's numbers lie in the window class's private range, which the host may use for
// its own: they are the runtime's only on the window the launcher talks to, and only
// until 1171 has been handled; from then on every message is the host's.
bool HandleProtocolMessage(RuntimeState& state, UINT message, WPARAM wParam) {
  if (state.phase != RuntimePhase::kLinked) return false;
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
    default:
      return false;
  }
}

// The launcher's question whether the runtime runs (addin_messages.h); registered once.
UINT StartProbeMessage() {
  static const UINT message = RegisterWindowMessageW(AddInMessage::kStartProbeName);
  return message;
}

bool IsMainWindowOfThread(HWND window) {
  wchar_t className[16] = {};
  return GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId() &&
         GetClassNameW(window, className, 16) && lstrcmpW(className, kMainWindowClass) == 0;
}

BOOL CALLBACK CountOtherMainWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<std::pair<HWND, int>*>(context);
  if (window != search->first && IsMainWindowOfThread(window)) ++search->second;
  return TRUE;
}

// Whether `going` is the host's last main window: then the host is ending.
bool IsLastMainWindow(HWND going) {
  std::pair<HWND, int> search{going, 0};
  EnumThreadWindows(GetCurrentThreadId(), CountOtherMainWindow, reinterpret_cast<LPARAM>(&search));
  return search.second == 0;
}

WNDPROC OriginalProc(const RuntimeState& state, HWND window) {
  for (const auto& entry : state.windows) {
    if (entry.window == window) return entry.original;
  }
  return nullptr;
}

LRESULT CALLBACK RuntimeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Gives the window its own procedure back when ours is still in front; one put in front of
// it later stays, and with it the chain through ours (which, pinned, passes everything on).
void Unsubclass(RuntimeState& state, HWND window) {
  auto entry = std::find_if(state.windows.begin(), state.windows.end(),
                            [&](const RuntimeState::Subclassed& s) { return s.window == window; });
  if (entry == state.windows.end()) return;
  if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)) == RuntimeWindowProc) {
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(entry->original));
  }
  state.windows.erase(entry);
  if (state.hostWindow == window) state.hostWindow = nullptr;
}

// The session is ending (log-off, shutdown, restart). Windows may end the process at any
// time once every application has returned from WM_ENDSESSION, without destroying its
// windows, and ends every process of the session at log-off, the resident launcher and
// the watcher among them: the end of life runs here, not at WM_DESTROY, and needs
// neither. The host answers first: a save the user makes at its "save changes?" prompt
// is then on disk and goes into the state.
LRESULT EndSession(RuntimeState& state, WNDPROC original, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = original ? CallWindowProcW(original, window, message, wParam, lParam)
                            : DefWindowProcW(window, message, wParam, lParam);
  try {
    if (message == WM_QUERYENDSESSION) {
      if (state.phase == RuntimePhase::kRunning) SaveStateAfterUserSave(state);
    } else if (wParam) {
      StopTakeOverTimers(state);
      EndApplicationLife(state);
    }
  } catch (...) {
    // As in the window procedure: nothing of the runtime's reaches the host.
  }
  return result;
}

LRESULT CALLBACK RuntimeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  RuntimeState& state = Runtime();
  // Taken first: the handling below may give the window its own procedure back.
  WNDPROC original = OriginalProc(state, window);
  if (message == WM_QUERYENDSESSION || message == WM_ENDSESSION) {
    return EndSession(state, original, window, message, wParam, lParam);
  }
  bool handled = false;
  try {
    if (window == state.hostWindow && message != 0 && message == StartProbeMessage()) {
      return AddInMessage::kStartedAnswer;
    }
    if (window == state.hostWindow) handled = HandleProtocolMessage(state, message, wParam);
    if (message == WM_DESTROY) {
      if (IsLastMainWindow(window)) {
        // The host's last main window: the host is going down and the application's life
        // is over (end_of_life_win.h).
        StopTakeOverTimers(state);
        EndApplicationLife(state);
      } else {
        // The host stays: the windows that remain carry the watch for its end.
        SubclassNewMainWindows(state);
      }
    }
  } catch (...) {
    // A failure of the runtime's must not reach the host: its own handling goes on.
  }
  if (message == WM_NCDESTROY) Unsubclass(state, window);
  if (handled) return 0;
  return original ? CallWindowProcW(original, window, message, wParam, lParam)
                  : DefWindowProcW(window, message, wParam, lParam);
}

bool Subclass(RuntimeState& state, HWND window) {
  if (OriginalProc(state, window)) return true;
  auto previous = SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RuntimeWindowProc));
  if (!previous) return false;
  state.windows.push_back({window, reinterpret_cast<WNDPROC>(previous)});
  return true;
}

BOOL CALLBACK SubclassMainWindow(HWND window, LPARAM context) {
  if (IsMainWindowOfThread(window)) Subclass(*reinterpret_cast<RuntimeState*>(context), window);
  return TRUE;
}

}  // namespace

bool SubclassHostWindow(RuntimeState& state, HWND window) {
  if (!window || !IsWindow(window) || GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) return false;
  if (!Subclass(state, window)) return false;
  state.hostWindow = window;
  SubclassNewMainWindows(state);
  return true;
}

void SubclassNewMainWindows(RuntimeState& state) {
  EnumThreadWindows(GetCurrentThreadId(), SubclassMainWindow, reinterpret_cast<LPARAM>(&state));
}
