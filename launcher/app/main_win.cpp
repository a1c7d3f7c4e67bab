// The launcher's process entry: cleanup mode, or a normal run with its last-resort
// message boxes. No exception leaves this function.
#include <windows.h>
#include <gdiplus.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "launcher/app/cleanup_win.h"
#include "launcher/app/command_line.h"
#include "launcher/app/launcher_state_win.h"
#include "launcher/app/run_launcher_win.h"
#include "launcher/app/wide_win.h"
#include "launcher/host/com_error_win.h"
#include "launcher/payload/utf.h"

namespace {

// The launcher state exists before the entry function runs and is destroyed after it
// returns, so its destructor's shutdown also covers every early return.
LauncherState& g_state = State();

std::vector<std::wstring> Arguments() {
  std::vector<std::wstring> args;
  for (int i = 0; i < __argc; ++i) args.emplace_back(__wargv[i] ? __wargv[i] : L"");
  return args;
}

bool RunCleanupMode(const std::vector<std::wstring>& args) {
  std::vector<std::u16string> portable;
  for (const auto& arg : args) portable.push_back(FromWide(arg));
  CleanupRequest request = ScanCleanupMode(portable);
  if (!request.active) return false;
  CleanupFiles(ToWide(request.first), ToWide(request.second));
  return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::vector<std::wstring> args = Arguments();
  if (RunCleanupMode(args)) return 1;

  ULONG_PTR gdiplusToken = 0;
  Gdiplus::GdiplusStartupInput gdiplusInput;
  Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);

  try {
    RunLauncher(args);
  } catch (const notice4user& notice) {
    std::wstring text = ToWide(Utf8ToUtf16(notice.what()));
    MessageBoxW(nullptr, text.c_str(), L"Warning", MB_ICONWARNING);
    return 0;
  } catch (const _com_error& error) {
    std::wstring text = L"COM error:" + error.Description();
    MessageBoxW(nullptr, text.c_str(), L"Error", MB_OK);
  } catch (...) {
    MessageBoxW(nullptr, L"Unknown exception", L"Error", MB_OK);
  }

  Gdiplus::GdiplusShutdown(gdiplusToken);
  if (g_state.HasOption(OPT_SAVED_STATE)) CleanupFiles(g_state.workbookFilePath, g_state.addInFilePath);
  return 0;
}
