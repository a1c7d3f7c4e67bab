#include "launcher/app/run_launcher_win.h"

#include <windows.h>

#include "launcher/app/command_line.h"
#include "launcher/app/launch_win.h"
#include "launcher/base/launcher_state_win.h"
#include "launcher/app/own_path_win.h"
#include "launcher/app/resident_win.h"
#include "launcher/app/shutdown_win.h"
#include "launcher/base/system_library_win.h"
#include "core/win/wide_win.h"
#include "core/text/message_texts.h"
#include "core/encoding/utf.h"

namespace {

// The own path is the module's, however argv[0] spells it: the workbook's name, the
// saved state, the icons and the single-instance guard all follow from it.
void RecordOwnPath(LauncherState& state) {
  state.exePath = OwnModulePath();
  const size_t slash = state.exePath.rfind(L'\\');
  state.exeFolder = slash != std::wstring::npos ? state.exePath.substr(0, slash) : std::wstring();
}

void ReadArguments(LauncherState& state, const std::vector<std::wstring>& args) {
  std::vector<std::u16string> portable;
  for (const auto& arg : args) portable.push_back(FromWide(arg));
  RunArguments parsed = ScanRunArguments(portable, GetText(TextId::kSilentStartPrefix));
  state.commandLinePassword = ToWide(parsed.password);
  state.testFlag = parsed.testFlag;
  state.silentStart = parsed.silentStart;
}

// From the system folder only: a copy beside the executable would run its DllMain.
void LoadRichEditLibrary() {
  if (!GetModuleHandleW(L"MSFTEDIT.DLL")) LoadSystemLibrary(L"MSFTEDIT.DLL");
}

}  // namespace

int RunLauncher(const std::vector<std::wstring>& args) {
  LauncherState& state = State();
  state.shutdownAtExit = ShutdownLauncherAtExit;
  try {
    SeedRandomGenerator();
    RecordOwnPath(state);
    ReadArguments(state, args);
    LoadRichEditLibrary();
    LaunchApplication();
    WaitWhileResident(state);
  } catch (const notice4user& notice) {
    std::wstring text = ToWide(Utf8ToUtf16(notice.what()));
    std::wstring caption = ToWide(GetWarningCaption(state.TextSources(), notice.CaptionKey()));
    MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_ICONWARNING);
  } catch (...) {
  }
  return 1;
}
