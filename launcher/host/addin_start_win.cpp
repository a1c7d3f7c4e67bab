#include "launcher/host/addin_start_win.h"

#include <windows.h>

#include <stdio.h>

#include "launcher/base/launcher_state_win.h"
#include "core/host/addin_messages.h"
#include "core/host/com_error_win.h"
#include "core/win/wide_win.h"
#include "core/host/host_ops_win.h"
#include "core/win/files_win.h"
#include "core/text/message_texts.h"
#include "core/payload/workspace_names.h"
#include "launcher/payload/workspace_win.h"
#include "launcher/host/file_validation_win.h"
#include "launcher/host/xll_start_win.h"

namespace {

// A runtime that started answers at once; a host that is not done with the open's
// aftermath gets this long.
constexpr UINT kProbeTimeoutMs = 5000;
// A host killed for what it opened may take a moment to be gone after the open failed.
constexpr DWORD kHostEndWaitMs = 2000;

// The add-in reads the workbook's path and the launcher's name from here; never the
// command line, which may carry the password. Empty when the file could not be written
// (a part of it may be there, and is removed).
std::wstring WriteStartupInfoFile(LauncherState& state) {
  std::wstring path = GetWorkspaceFolder(state) + L"\\" + BuiltInText(TextId::kStartupInfoFileName);
  std::string bytes = StartupInfoBytes(FromWide(state.workbookFilePath), GetCurrentProcessId(),
                                       FromWide(state.exePath));
  if (WriteWholeFile(path, bytes)) return path;
  _wremove(path.c_str());
  return std::wstring();
}

// Removes the loader and the start-up information file when the start is over, also
// when the host fails to hand out its workbook collection: nothing may stay behind. In
// saved-state mode the start-up information stays with the workspace until the resident
// launcher removes it: it names the application whose state a dead run's last save
// belongs to, for the sweep of a later launch (workspace_sweep_win.h).
class StartFilesRemover {
 public:
  StartFilesRemover(const LauncherState& state, std::wstring startupInfoPath)
      : state_(state), startupInfoPath_(std::move(startupInfoPath)) {}
  ~StartFilesRemover() {
    if (!state_.loaderWorkbookPath.empty()) _wremove(state_.loaderWorkbookPath.c_str());
    if (state_.HasOption(OPT_SAVED_STATE)) return;
    if (!startupInfoPath_.empty() && IsExistingFile(startupInfoPath_)) _wremove(startupInfoPath_.c_str());
  }

 private:
  const LauncherState& state_;
  std::wstring startupInfoPath_;
};

// What the launcher knows of the host before the open, to judge the open by afterwards.
struct HostBeforeOpen {
  HWND window = nullptr;
  ScopedHandle process;
  int32_t workbooks = 0;
};

HostBeforeOpen LookAtHost(IDispatch* host) {
  HostBeforeOpen before;
  before.window = GetHostHwnd(host);
  DWORD processId = 0;
  GetWindowThreadProcessId(before.window, &processId);
  if (processId) before.process.reset(OpenProcess(SYNCHRONIZE, FALSE, processId));
  before.workbooks = CountHostWorkbooks(host);
  return before;
}

bool HostEnded(const HostBeforeOpen& before, DWORD waitMs) {
  return before.process && WaitForSingleObject(before.process.get(), waitMs) == WAIT_OBJECT_0;
}

bool RuntimeAnswers(HWND window) {
  static const UINT probe = RegisterWindowMessageW(AddInMessage::kStartProbeName);
  DWORD_PTR answer = 0;
  if (!probe || !SendMessageTimeoutW(window, probe, 0, 0, SMTO_ABORTIFHUNG, kProbeTimeoutMs, &answer)) return false;
  return answer == AddInMessage::kStartedAnswer;
}

// Judges the open in the order that tells the causes apart: a dead host also fails the
// open, and a loader that stayed open never ran the macro that would start the runtime.
AddInStart CheckStart(IDispatch* host, const HostBeforeOpen& before, HRESULT opened, IDispatch* loader) {
  if (HostEnded(before, FAILED(opened) ? kHostEndWaitMs : 0)) return AddInStart::kHostEnded;
  if (FAILED(opened)) return AddInStart::kOpenRefused;
  if (CountHostWorkbooks(host) > before.workbooks) {
    if (loader) CloseWorkbookUnsaved(loader);
    return AddInStart::kLoaderStayedOpen;
  }
  if (RuntimeAnswers(before.window)) return AddInStart::kStarted;
  return HostEnded(before, kHostEndWaitMs) ? AddInStart::kHostEnded : AddInStart::kNoAnswer;
}

// The way in without a macro, for a start that the loader's way left unproven in a host
// that lives on: the loader is closed by now, and the start-up information still there.
StartSeen StartAsXll(LauncherState& state, const HostBeforeOpen& before, AddInStart seen) {
  IDispatch* host = state.host.Get();
  try {
    if (LoadAddInAsXll(host, state.addInFilePath) == XllLoad::kRefused) return {seen, true};
    // The runtime answers at the window that Hwnd names, where it put itself in front.
    if (RuntimeAnswers(GetHostHwnd(host))) return {AddInStart::kStarted, false};
  } catch (const _com_error&) {
    if (HostEnded(before, kHostEndWaitMs)) return {AddInStart::kHostEnded, false};
  }
  return {seen, false};
}

}  // namespace

StartSeen StartAddInInHost(LauncherState& state) {
  std::wstring startupInfo = WriteStartupInfoFile(state);
  if (startupInfo.empty()) return {AddInStart::kNoStartupInfo, false};
  StartFilesRemover remover(state, std::move(startupInfo));
  WriteLoaderWorkbook(state);

  IDispatch* host = state.host.Get();
  HostBeforeOpen before;
  if (state.runtimeAnswers) before = LookAtHost(host);
  HRESULT opened = S_OK;
  ComPtr<IDispatch> loader;
  {
    // The host runs the loader's open macro, and with it the add-in's start, inside
    // this call.
    FileValidationSkip ownFile(host, state.hostVersion);
    loader = OpenWorkbookInHost(host, state.loaderWorkbookPath, &opened);
  }
  Sleep(100);
  if (!state.runtimeAnswers) return {AddInStart::kStarted, false};
  AddInStart seen = AddInStart::kNoAnswer;
  try {
    seen = CheckStart(host, before, opened, loader.Get());
  } catch (const _com_error&) {
    // The host stopped answering on the way: it is gone, or as good as gone.
    seen = HostEnded(before, kHostEndWaitMs) ? AddInStart::kHostEnded : AddInStart::kNoAnswer;
  }
  if (seen == AddInStart::kStarted || seen == AddInStart::kHostEnded) return {seen, false};
  loader.Reset();
  return StartAsXll(state, before, seen);
}
