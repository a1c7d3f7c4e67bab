#include "runtime/takeover_win.h"

#include <windows.h>

#include "core/host/com_error_win.h"
#include "core/host/host_ops_win.h"
#include "core/text/message_texts.h"
#include "core/win/wide_win.h"
#include "runtime/launcher_link_win.h"
#include "runtime/runtime_state_win.h"
#include "runtime/state_saving_win.h"
#include "runtime/workbook_follow_win.h"
#include "runtime/workbook_key_win.h"

namespace {

constexpr HRESULT kHostBusy = static_cast<HRESULT>(0x800AC472);  // editing a cell, a dialog open
constexpr DWORD kOpenRetryMs = 250;
constexpr DWORD kWatchMs = 500;
constexpr DWORD kGiveUpRetryMs = 500;

void CALLBACK OnOpenRetry(HWND, UINT, UINT_PTR, DWORD);
void CALLBACK OnWatch(HWND, UINT, UINT_PTR, DWORD);
void CALLBACK OnGiveUpRetry(HWND, UINT, UINT_PTR, DWORD);

// The timers belong to the thread, not to a window: a main window may go while the host
// stays, and none is needed for them to fire.
void Arm(UINT_PTR& timer, DWORD ms, TIMERPROC proc) {
  if (!timer) timer = SetTimer(nullptr, 0, ms, proc);
}

void Disarm(UINT_PTR& timer) {
  if (timer) KillTimer(nullptr, timer);
  timer = 0;
}

// After Quit the runtime lets go of the host's objects: a host waits for its last
// reference before it ends, and nothing after this point needs them.
void QuitAndLetGo(RuntimeState& state) {
  QuitHost(state.application.Get());
  state.workbook.Reset();
  state.application.Reset();
}

// The give-up's last step: the host is quit only when no workbook is open in it; one the
// user opened meanwhile keeps it, with their workbook, for them to close. True when done;
// false when the host was busy and is to be asked again.
bool QuitUnlessInUse(RuntimeState& state) {
  if (!state.application) return true;
  try {
    if (CountHostWorkbooks(state.application.Get()) == 0) QuitAndLetGo(state);
    else state.application.Reset();
    return true;
  } catch (const _com_error& error) {
    if (error.Error() == kHostBusy) return false;
    state.application.Reset();  // a host that refuses otherwise is ending already
    return true;
  }
}

// Nothing of the packaged application can run: the user is told why (unless the launch
// was a silent one, where nobody would answer the box), and the host goes when nothing of
// the user's is open in it. Nothing of the user's is closed.
void GiveUp(RuntimeState& state, const std::wstring& reason) {
  Disarm(state.openRetryTimer);
  state.phase = RuntimePhase::kRefused;
  bool othersOpen = false;
  try {
    othersOpen = CountHostWorkbooks(state.application.Get()) != 0;
  } catch (const _com_error&) {
    // Asked again after the box.
  }
  if (state.silentStart == 0) {
    std::wstring text = ToWide(GetText(TextId::kWorkbookNotOpened));
    if (othersOpen) {
      text = L"The application's workbook could not be opened, so the application cannot run. Excel stays open "
             L"with the workbooks you opened.";
    }
    if (!reason.empty()) text += L"\n\n" + reason;
    MessageBoxW(BoxOwner(state), text.c_str(), ApplicationTitle(state).c_str(),
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
  }
  if (state.phase == RuntimePhase::kRefused && !QuitUnlessInUse(state)) {
    Arm(state.giveUpTimer, kGiveUpRetryMs, OnGiveUpRetry);
  }
}

// True when the open is over, one way or the other; false when the host was busy.
bool TryOpen(RuntimeState& state) {
  if (state.workbookPath.empty()) {
    GiveUp(state, std::wstring());
    return true;
  }
  ComPtr<IDispatch> opened;
  try {
    std::wstring password = ReadWorkbookPassword(state.launcherPath);
    state.protectsWorkbook = !password.empty();
    opened = OpenWorkbookForUser(state.application.Get(), state.workbookPath, password);
    SecureZeroMemory(password.data(), password.size() * sizeof(wchar_t));
  } catch (const _com_error& error) {
    // A busy host is waited for however long it takes: an activation or sign-in dialog
    // may stay open for minutes. Only a refusal ends the take-over.
    if (error.Error() == kHostBusy && state.phase == RuntimePhase::kOpening) return false;
    if (state.phase == RuntimePhase::kOpening) GiveUp(state, error.Description());
    return true;
  }
  // The host may have ended while the open ran its macros.
  if (state.phase != RuntimePhase::kOpening) return true;
  state.workbook = std::move(opened);
  state.phase = RuntimePhase::kRunning;
  NoteWorkbookOnDisk(state);
  try {
    SetHostCaption(state.application.Get(), ApplicationTitle(state));
  } catch (const _com_error&) {
    // The host's own caption stays: the workbook is open all the same.
  }
  if (state.phase == RuntimePhase::kRunning) Arm(state.watchTimer, kWatchMs, OnWatch);
  return true;
}

// A timer whose call into the host is under way (a modal loop inside it dispatches the
// thread's timers) does nothing: the timer is stopped for the call and armed again after.
template <typename Step>
void InHostCall(RuntimeState& state, Step step) {
  if (state.inHostCall) return;
  state.inHostCall = true;
  try {
    step();
  } catch (...) {
    state.inHostCall = false;
    throw;
  }
  state.inHostCall = false;
}

void RetryOpen(RuntimeState& state) {
  Disarm(state.openRetryTimer);
  if (state.phase != RuntimePhase::kOpening) return;
  InHostCall(state, [&] {
    if (!TryOpen(state) && state.phase == RuntimePhase::kOpening) Arm(state.openRetryTimer, kOpenRetryMs, OnOpenRetry);
  });
}

// Once the user has closed the workbook and no other workbook is open, the host is quit,
// since the application is over.
void WatchWorkbook(RuntimeState& state) {
  Disarm(state.watchTimer);
  if (state.phase != RuntimePhase::kRunning || !state.workbook) return;
  InHostCall(state, [&] {
    SaveStateAfterUserSave(state);
    if (state.phase != RuntimePhase::kRunning || !state.workbook) return;
    try {
      FollowWorkbook(state, IsWorkbookSaved(state.workbook.Get()));
      // A copy the host wrote just now, or a Save As, goes into the state at once.
      SaveStateAfterUserSave(state);
      if (state.phase == RuntimePhase::kRunning) Arm(state.watchTimer, kWatchMs, OnWatch);
      return;  // still open
    } catch (const _com_error& error) {
      if (error.Error() == kHostBusy) {  // the user is editing: ask again later
        if (state.phase == RuntimePhase::kRunning) Arm(state.watchTimer, kWatchMs, OnWatch);
        return;
      }
    }
    state.workbook.Reset();
    // Closed: its last save is on disk now.
    SaveStateAfterUserSave(state);
    try {
      if (state.application && CountHostWorkbooks(state.application.Get()) == 0) QuitAndLetGo(state);
    } catch (const _com_error&) {
      // A host that does not answer is left to the user, who can close it.
    }
  });
}

void CALLBACK OnOpenRetry(HWND, UINT, UINT_PTR, DWORD) {
  try {
    RetryOpen(Runtime());
  } catch (...) {
    // Nothing may reach the host's message loop.
  }
}

void CALLBACK OnWatch(HWND, UINT, UINT_PTR, DWORD) {
  try {
    WatchWorkbook(Runtime());
  } catch (...) {
  }
}

void CALLBACK OnGiveUpRetry(HWND, UINT, UINT_PTR, DWORD) {
  RuntimeState& state = Runtime();
  Disarm(state.giveUpTimer);
  try {
    InHostCall(state, [&] {
      if (state.phase == RuntimePhase::kRefused && !QuitUnlessInUse(state)) {
        Arm(state.giveUpTimer, kGiveUpRetryMs, OnGiveUpRetry);
      }
    });
  } catch (...) {
  }
}

}  // namespace

void BeginTakeOver(RuntimeState& state) {
  // 1171 once: a repeated one finds the take-over under way or done.
  if (state.phase != RuntimePhase::kLinked) return;
  state.phase = RuntimePhase::kOpening;
  // The title comes from the settings, which a launch without 1155 and 1179 has not read yet.
  if (!state.settingsRead) ReadLauncherSettings(state);
  InHostCall(state, [&] {
    if (!TryOpen(state) && state.phase == RuntimePhase::kOpening) Arm(state.openRetryTimer, kOpenRetryMs, OnOpenRetry);
  });
}

void StopTakeOverTimers(RuntimeState& state) {
  Disarm(state.openRetryTimer);
  Disarm(state.watchTimer);
  Disarm(state.giveUpTimer);
}
