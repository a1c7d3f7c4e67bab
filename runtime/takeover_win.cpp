#include "runtime/takeover_win.h"

#include <windows.h>

#include "core/win/wide_win.h"
#include "core/host/com_error_win.h"
#include "core/host/host_ops_win.h"
#include "core/text/message_texts.h"
#include "runtime/launcher_link_win.h"
#include "runtime/runtime_state_win.h"
#include "runtime/workbook_key_win.h"

namespace {

constexpr HRESULT kHostBusy = static_cast<HRESULT>(0x800AC472);  // editing a cell, a dialog open
constexpr DWORD kOpenRetryMs = 250;
constexpr DWORD kOpenPatienceMs = 60000;  // how long a busy host is waited for
constexpr DWORD kWatchMs = 500;

// After Quit the runtime lets go of the host's objects: a host waits for its last
// reference before it ends, and nothing after this point needs them.
void QuitAndLetGo(RuntimeState& state) {
  QuitHost(state.application.Get());
  state.workbook.Reset();
  state.application.Reset();
}

std::wstring ApplicationTitle(const RuntimeState& state) {
  if (!state.settings.appTitle.empty()) return ToWide(state.settings.appTitle);
  return ToWide(GetText(TextId::kAppTitle));
}

// Nothing of the packaged application can run: the user is told why (unless the launch
// was a silent one, where nobody would answer the box), and the host goes, so that
// nothing is left behind.
void GiveUp(RuntimeState& state, const std::wstring& reason) {
  KillTimer(state.hostWindow, RuntimeTimer::kOpenRetry);
  state.phase = RuntimePhase::kRefused;
  if (state.silentStart == 0) {
    std::wstring text = ToWide(GetText(TextId::kWorkbookNotOpened));
    if (!reason.empty()) text += L"\n\n" + reason;
    MessageBoxW(state.hostWindow, text.c_str(), ApplicationTitle(state).c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
  }
  try {
    CloseHostWorkbooks(state.application.Get());
    QuitAndLetGo(state);
  } catch (const _com_error&) {
    // A host that no longer answers is ending already.
  }
}

// True when the open is over, one way or the other; false when the host was busy.
bool TryOpen(RuntimeState& state) {
  if (state.workbookPath.empty()) {
    GiveUp(state, std::wstring());
    return true;
  }
  try {
    state.workbook = OpenWorkbookForUser(state.application.Get(), state.workbookPath,
                                         ReadWorkbookPassword(state.launcherPath));
  } catch (const _com_error& error) {
    if (error.Error() == kHostBusy && GetTickCount() - state.openStartedTick < kOpenPatienceMs) return false;
    GiveUp(state, error.Description());
    return true;
  }
  state.phase = RuntimePhase::kRunning;
  try {
    SetHostCaption(state.application.Get(), ApplicationTitle(state));
  } catch (const _com_error&) {
    // The host's own caption stays: the workbook is open all the same.
  }
  SetTimer(state.hostWindow, RuntimeTimer::kWatchWorkbook, kWatchMs, nullptr);
  return true;
}

}  // namespace

void BeginTakeOver(RuntimeState& state) {
  // 1171 once: a repeated one finds the take-over under way or done.
  if (state.phase != RuntimePhase::kLinked) return;
  state.phase = RuntimePhase::kOpening;
  state.openStartedTick = GetTickCount();
  // The title comes from the settings, which a launch without 1155 and 1179 has not read yet.
  if (!state.settingsRead) ReadLauncherSettings(state);
  if (!TryOpen(state)) SetTimer(state.hostWindow, RuntimeTimer::kOpenRetry, kOpenRetryMs, nullptr);
}

void RetryOpen(RuntimeState& state) {
  if (state.phase != RuntimePhase::kOpening) {
    KillTimer(state.hostWindow, RuntimeTimer::kOpenRetry);
    return;
  }
  if (TryOpen(state)) KillTimer(state.hostWindow, RuntimeTimer::kOpenRetry);
}

void WatchWorkbook(RuntimeState& state) {
  if (!state.workbook) {
    KillTimer(state.hostWindow, RuntimeTimer::kWatchWorkbook);
    return;
  }
  try {
    IsWorkbookSaved(state.workbook.Get());
    return;  // still open
  } catch (const _com_error& error) {
    if (error.Error() == kHostBusy) return;  // the user is editing: ask again later
  }
  KillTimer(state.hostWindow, RuntimeTimer::kWatchWorkbook);
  state.workbook.Reset();
  try {
    if (CountHostWorkbooks(state.application.Get()) == 0) QuitAndLetGo(state);
  } catch (const _com_error&) {
    // A host that does not answer is left to the user, who can close it.
  }
}
