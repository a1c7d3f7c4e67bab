#include "launcher/app/launch_win.h"

#include <ctime>

#include "launcher/base/launcher_state_win.h"
#include "launcher/app/host_watch_win.h"
#include "launcher/app/resident_win.h"
#include "launcher/app/settings_load_win.h"
#include "launcher/app/shutdown_win.h"
#include "launcher/app/start_failure_win.h"
#include "core/host/addin_messages.h"
#include "launcher/host/addin_messages_win.h"
#include "launcher/host/addin_start_win.h"
#include "core/host/com_error_win.h"
#include "launcher/host/host_instance_win.h"
#include "core/host/host_ops_win.h"
#include "core/payload/item_ids.h"
#include "core/text/message_texts.h"
#include "core/payload/resources_win.h"
#include "launcher/payload/workspace_sweep_win.h"
#include "launcher/payload/workspace_win.h"
#include "core/win/files_win.h"
#include "launcher/ui/notice_dialog_win.h"
#include "launcher/ui/password_dialog_win.h"
#include "launcher/ui/splash_window_win.h"

namespace {

enum class Outcome { Success, Cancelled, Refused, Failed };

// Raised when the end of the launch fails; the host has been closed and quit by then.
struct LaunchEndFailed {};

constexpr clock_t kSplashMinimumMs = 5000;

void CloseSplashNow(const LauncherState& state) {
  if (state.splashThreadId) PostThreadMessageW(state.splashThreadId, SplashMessage::kCloseNow, 0, 0);
}

// The workbook formats of Excel 2007 and later cannot be opened by an older host.
bool FormatNeedsNewerHost(const LauncherState& state) {
  int32_t format = state.settings.workbookFormat();
  return state.HasOption(OPT_CHECK_HOST_VERSION) && state.hostVersion < 12 && (format == 52 || format == 50);
}

void GiveHostTheIcon(const LauncherState& state) {
  HICON icon = state.bigIcon ? state.bigIcon : state.smallIcon;
  if (icon) SendMessageW(state.hostWindow, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

bool HostStaysHidden(const LauncherState& state) {
  return state.silentStart != 0 || state.HasOption(OPT_KEEP_HOST_HIDDEN) || state.testFlag;
}

// The last steps run guarded: whatever fails there leaves the host closed and quit.
void EndMessagePhase(LauncherState& state) {
  IDispatch* host = state.host.Get();
  try {
    if (FormatNeedsNewerHost(state)) {
      MessageBoxW(state.hostWindow, BuiltInText(TextId::kFormatNeedsNewerHost).c_str(), L"Error", MB_ICONERROR);
      CloseHostWorkbooks(host);
      QuitHost(host);
      throw LaunchEndFailed{};
    }
    // The host may end as soon as it has 1171. A release still on its way to it then
    // waits for an answer that a host stuck in its own end never gives, so the release
    // goes first, while the host still answers; under user control it keeps running.
    state.host.Reset();
    // Posted to a null window it would become a thread message to the launcher itself.
    if (state.hostWindow) PostMessageW(state.hostWindow, AddInMessage::kEndOfMessages, 0, 0);
  } catch (...) {
    CloseHostWorkbooks(host);
    QuitHost(host);
    throw LaunchEndFailed{};
  }
}

Outcome RunSteps(LauncherState& state, clock_t& startTime) {
  SweepEarlierWorkspaces(TemporaryFolder());
  LoadSettings(state);
  if (state.settings.settingsMagic() != kSettingsMagic) throw notice4user(GetTextUtf8(TextId::kSettingsInvalid));
  if (!state.settings.startPassword.empty() && AskStartupPassword()) return Outcome::Cancelled;

  ReadPackedItem(ItemId::kNotice, state.noticeText);
  if (state.noticeText.size() >= 3 && state.silentStart == 0 &&
      ShowNotice(state.noticeText, state.smallIcon, state.bigIcon)) {
    return Outcome::Cancelled;
  }

  CreateHost(state.host, state.hostVersion);
  bool hostIs64Bit = state.hostVersion >= 14 && IsHost64Bit(state.host.Get());
  if (!WriteAddInFile(state, hostIs64Bit)) {
    QuitHost(state.host.Get());
    throw notice4user(GetTextUtf8(TextId::kAddInNotWritten));
  }

  startTime = clock();
  if (!state.testFlag && state.silentStart == 0 && state.HasOption(OPT_SHOW_SPLASH)) {
    StartSplashThread(state.splashThread, state.splashThreadId);
  }

  if (state.HasOption(OPT_CHECK_HOST_VERSION) && state.hostVersion <= 9) {
    CloseSplashNow(state);
    MessageBoxW(nullptr, BuiltInText(TextId::kHostTooOld).c_str(),
                MessageText(OverrideKey::kWarningCaption, TextId::kWarningCaption).c_str(), MB_ICONWARNING);
    return Outcome::Refused;
  }

  uint8_t languageByte = state.host ? static_cast<uint8_t>(GetHostUiLanguage(state.host.Get()) & 0xFF) : 0;
  // Without the workbook or the start-up information the add-in could do nothing but
  // fail later and less clearly; the failed launch quits the host and removes the files.
  if (!WriteWorkbookFile(state) || state.workbookFilePath.empty()) {
    throw notice4user(GetTextUtf8(TextId::kAddInNotWritten));
  }
  const StartSeen start = StartAddInInHost(state);
  if (start.result == AddInStart::kNoStartupInfo) throw notice4user(GetTextUtf8(TextId::kAddInNotWritten));
  if (start.result != AddInStart::kStarted) throw StartNotProven{start};
  state.hostWindow = FindHostMainWindow(state.host.Get(), state.hostVersion);
  SetHostCaption(state.host.Get(), BuiltInText(TextId::kAppTitle));
  GiveHostTheIcon(state);
  if (state.HasOption(OPT_SAVED_STATE) && !CreateResidentEvent(state)) {
    CloseSplashNow(state);
    return Outcome::Failed;
  }

  SendAddInMessages(state, languageByte);

  bool visible = !HostStaysHidden(state);
  if (state.silentStart != 0) SetHostDisplayAlerts(state.host.Get(), false);
  SetHostVisible(state.host.Get(), visible);
  SetHostUserControl(state.host.Get(), true);
  EndMessagePhase(state);

  if (state.splashThreadId) PostThreadMessageW(state.splashThreadId, SplashMessage::kFinishSoon, 0, 0);
  return Outcome::Success;
}

// Alt-tab style switch to the host; looked up at run time because not every system
// exports it.
void BringHostToFront(HWND hostWindow) {
  using SwitchToThisWindowFn = void(WINAPI*)(HWND, BOOL);
  HMODULE user32 = GetModuleHandleW(L"User32");
  auto switchTo = reinterpret_cast<SwitchToThisWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(user32, "SwitchToThisWindow")));
  if (switchTo) switchTo(hostWindow, TRUE);
}

// Keeps the splash up for its minimum time, then closes it.
void FinishSplash(const LauncherState& state, clock_t startTime) {
  DWORD running = WaitForSingleObject(state.splashThread.get(), 0);
  if (running == WAIT_OBJECT_0 || running == WAIT_FAILED || state.testFlag) return;
  clock_t elapsed = clock() - startTime;
  if (elapsed < kSplashMinimumMs) Sleep(static_cast<DWORD>(kSplashMinimumMs - elapsed));
  PostThreadMessageW(state.splashThreadId, SplashMessage::kCloseNow, 0, 0);
  Sleep(10);
  PostThreadMessageW(state.splashThreadId, SplashMessage::kCloseNow, 0, 0);
  Sleep(100);
}

void FinishLaunch(LauncherState& state, Outcome outcome, clock_t startTime) {
  state.failed = outcome != Outcome::Success;
  if (!state.failed) BringHostToFront(state.hostWindow);
  // In saved-state mode the launcher itself stays and watches.
  if (!state.failed && !state.HasOption(OPT_SAVED_STATE)) StartHostWatcher(state);
  ShutdownLauncher();
  FinishSplash(state, startTime);
}

// Closes what the launcher opened, the loader already closed by the check: the host
// instance it created, unless that has ended; never a workbook of the user's. The
// workspace goes with the failed launch's shutdown.
void EndUnprovenStart(LauncherState& state, AddInStart seen) {
  if (state.splashThreadId) {
    CloseSplashNow(state);
    Sleep(100);
  }
  if (seen != AddInStart::kHostEnded && state.host) {
    try {
      QuitHost(state.host.Get());
    } catch (const _com_error&) {
      // Gone in the meantime: nothing is left to quit.
    }
  }
  state.host.Reset();
  state.exitCode = kStartNotProvenExitCode;
}

}  // namespace

bool LaunchApplication() {
  LauncherState& state = State();
  state.failed = false;
  Outcome outcome = Outcome::Failed;
  clock_t startTime = 0;
  try {
    outcome = RunSteps(state, startTime);
  } catch (const notice4user&) {
    // The run function shows the text; the shutdown routine runs at process exit.
    state.failed = true;
    if (state.splashThreadId) {
      CloseSplashNow(state);
      Sleep(100);
    }
    throw;
  } catch (const StartNotProven& failure) {
    const StartFailureBox box = DescribeStartFailure(failure.seen);
    EndUnprovenStart(state, failure.seen.result);
    try {
      FinishLaunch(state, Outcome::Failed, startTime);
    } catch (...) {
    }
    TellStartFailure(state, box);
    return true;
  } catch (const _com_error&) {
    if (state.splashThreadId) {
      CloseSplashNow(state);
      Sleep(100);
    }
  } catch (...) {
  }
  try {
    FinishLaunch(state, outcome, startTime);
  } catch (...) {
  }
  return true;
}
