#include "launcher/host/addin_start_win.h"

#include <windows.h>

#include <stdio.h>

#include "launcher/base/launcher_state_win.h"
#include "core/win/wide_win.h"
#include "core/host/host_ops_win.h"
#include "core/win/files_win.h"
#include "core/text/message_texts.h"
#include "core/payload/workspace_names.h"
#include "launcher/payload/workspace_win.h"
#include "launcher/host/file_validation_win.h"

namespace {

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
// when the host fails to hand out its workbook collection: nothing may stay behind.
class StartFilesRemover {
 public:
  StartFilesRemover(const LauncherState& state, std::wstring startupInfoPath)
      : state_(state), startupInfoPath_(std::move(startupInfoPath)) {}
  ~StartFilesRemover() {
    if (!state_.loaderWorkbookPath.empty()) _wremove(state_.loaderWorkbookPath.c_str());
    if (!startupInfoPath_.empty() && IsExistingFile(startupInfoPath_)) _wremove(startupInfoPath_.c_str());
  }

 private:
  const LauncherState& state_;
  std::wstring startupInfoPath_;
};

}  // namespace

bool StartAddInInHost(LauncherState& state) {
  std::wstring startupInfo = WriteStartupInfoFile(state);
  if (startupInfo.empty()) return false;
  StartFilesRemover remover(state, std::move(startupInfo));
  WriteLoaderWorkbook(state);

  {
    // The host runs the loader's open macro, and with it the add-in's start, inside
    // this call; the workbook object it returns is of no further use.
    FileValidationSkip ownFile(state.host.Get(), state.hostVersion);
    OpenWorkbookInHost(state.host.Get(), state.loaderWorkbookPath);
  }
  Sleep(100);
  return true;
}
