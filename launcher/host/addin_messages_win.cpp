#include "launcher/host/addin_messages_win.h"

#include <windows.h>

#include "launcher/base/launcher_state_win.h"
#include "core/host/addin_messages.h"
#include "core/host/host_ops_win.h"

namespace {

// The add-in handles each message before the send returns; the results mean nothing.
void Send(const LauncherState& state, unsigned message, WPARAM wParam = 0, LPARAM lParam = 0) {
  SendMessageW(state.hostWindow, message, wParam, lParam);
}

}  // namespace

void SendAddInMessages(LauncherState& state, uint8_t languageByte) {
  using namespace AddInMessage;
  Send(state, kAnnounceProcessId, GetCurrentProcessId());
  SetHostVisible(state.host.Get(), false);
  Send(state, kHostSettings, static_cast<WPARAM>(static_cast<uint32_t>(GetHostDefaultSaveFormat(state.host.Get()))),
       languageByte);
  if (state.silentStart != 0) Send(state, kSilentStart, state.silentStart);
  // The single-instance guard covers the launch up to here; in saved-state mode it is
  // held until the resident launcher ends, while the state may still be written.
  if (!state.HasOption(OPT_SAVED_STATE)) state.singleInstanceMutex.reset();
  if (!state.exePath.empty()) Send(state, kLauncherPathKnown);
  Send(state, kStep1156);
  Send(state, kStep1158);
  Send(state, kStep1166);
  if (!state.settingsBlob.empty()) {
    Send(state, kSettingsAvailable);
    state.settingsBlob.clear();
  }
  for (unsigned message : {kStep1157, kStep1164, kStep1168, kStep1163, kLastSynchronous}) Send(state, message);
}
