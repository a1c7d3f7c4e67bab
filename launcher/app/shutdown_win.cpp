#include "launcher/app/shutdown_win.h"

#include "launcher/app/cleanup_win.h"
#include "launcher/base/launcher_state_win.h"
#include "core/host/com_error_win.h"
#include "core/host/host_ops_win.h"

namespace {

void ReleaseOwnObjects(LauncherState& state) {
  state.macros.reset();
  state.overrides.reset();
  if (state.bigIcon) DestroyIcon(std::exchange(state.bigIcon, nullptr));
  if (state.smallIcon) DestroyIcon(std::exchange(state.smallIcon, nullptr));
}

void CloseFailedHost(LauncherState& state) {
  if (!state.failed || !state.host) return;
  CloseHostWorkbooks(state.host.Get());
  QuitHost(state.host.Get());
}

void ReleaseHostAndFiles(LauncherState& state) {
  state.host.Reset();
  if (!state.failed) return;
  if (state.hostWindow) PostMessageW(state.hostWindow, WM_QUIT, 0, 0);
  CleanupFiles(state.workbookFilePath, state.addInFilePath);
}

}  // namespace

void ShutdownLauncher() {
  LauncherState& state = State();
  ReleaseOwnObjects(state);
  CloseFailedHost(state);
  ReleaseHostAndFiles(state);
}

void ShutdownLauncherAtExit() {
  LauncherState& state = State();
  ReleaseOwnObjects(state);
  try {
    CloseFailedHost(state);
  } catch (const _com_error&) {
    // The host no longer answers; it is left to itself.
  }
  ReleaseHostAndFiles(state);
}
