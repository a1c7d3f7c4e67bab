#include "launcher/app/run_launcher_win.h"

#include <windows.h>

#include "launcher/app/command_line.h"
#include "launcher/app/launch_win.h"
#include "launcher/app/launcher_state_win.h"
#include "launcher/app/resident_win.h"
#include "launcher/app/wide_win.h"
#include "launcher/payload/message_texts.h"
#include "launcher/payload/utf.h"

namespace {

// The own path comes from argv[0]; without a folder in it, from the module.
void RecordOwnPath(LauncherState& state, const std::wstring& argv0) {
  state.exePath = argv0;
  size_t slash = argv0.rfind(L'\\');
  if (slash != std::wstring::npos) {
    state.exeFolder = argv0.substr(0, slash);
    return;
  }
  wchar_t module[512] = {};
  if (GetModuleFileNameW(nullptr, module, 512) == 0) return;
  state.exePath = module;
  slash = state.exePath.rfind(L'\\');
  if (slash != std::wstring::npos) state.exeFolder = state.exePath.substr(0, slash);
}

void ReadArguments(LauncherState& state, const std::vector<std::wstring>& args) {
  std::vector<std::u16string> portable;
  for (const auto& arg : args) portable.push_back(FromWide(arg));
  RunArguments parsed = ScanRunArguments(portable, GetText(TextId::kSilentStartPrefix));
  state.commandLinePassword = ToWide(parsed.password);
  state.testFlag = parsed.testFlag;
  state.silentStart = parsed.silentStart;
}

void LoadRichEditLibrary() {
  if (!GetModuleHandleW(L"MSFTEDIT.DLL")) LoadLibraryW(L"MSFTEDIT.DLL");
}

}  // namespace

int RunLauncher(const std::vector<std::wstring>& args) {
  LauncherState& state = State();
  try {
    SeedRandomGenerator();
    if (!args.empty()) RecordOwnPath(state, args[0]);
    ReadArguments(state, args);
    LoadRichEditLibrary();
    LaunchApplication();
    WaitWhileResident(state);
  } catch (const notice4user& notice) {
    std::wstring text = ToWide(Utf8ToUtf16(notice.what()));
    std::wstring caption = MessageText(OverrideKey::kWarningCaption, TextId::kWarningCaption);
    MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_ICONWARNING);
  } catch (...) {
  }
  return 1;
}
