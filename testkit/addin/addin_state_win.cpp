#include "testkit/addin/addin_state_win.h"

#include <shellapi.h>

#include <cstdio>
#include <string>

#include "core/win/wide_win.h"
#include "core/text/message_texts.h"
#include "core/encoding/utf.h"

namespace {

std::string ReadFileBytes(const std::wstring& path, bool& found) {
  FILE* file = _wfopen(path.c_str(), L"rb");
  found = file != nullptr;
  std::string bytes;
  if (!file) return bytes;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
  fclose(file);
  return bytes;
}

// The launcher's executable: the first argument of the command line it was started with.
std::wstring LauncherPath(const std::wstring& commandLine) {
  int count = 0;
  wchar_t** args = CommandLineToArgvW(commandLine.c_str(), &count);
  std::wstring path = args && count > 0 ? args[0] : L"";
  LocalFree(args);
  return path;
}

void StartCleanup(AddInState& state) {
  std::wstring info;
  try {
    info = ToWide(Utf8ToUtf16(state.startupInfo));
  } catch (const std::exception&) {
    state.journal.Write("cleanup error invalid-startinfo");
    return;
  }
  size_t lineFeed = info.find(L'\n');
  std::wstring launcher = LauncherPath(info.substr(0, lineFeed));
  // The workbook's path is the second line; the launcher names itself on the lines after it.
  std::wstring workbook = lineFeed == std::wstring::npos ? L"" : info.substr(lineFeed + 1);
  workbook = workbook.substr(0, workbook.find(L'\n'));
  std::wstring commandLine = L"\"" + launcher + L"\" -clnx \"" + workbook + L"\" -clnd \"" +
                             ModulePath(state.module) + L"\"";

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring mutableLine = commandLine;
  if (!CreateProcessW(launcher.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    state.journal.Write("cleanup error " + std::to_string(GetLastError()));
    return;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  state.journal.Write("cleanup " + QuoteText(std::wstring_view(commandLine)));
}

// launcher running|ended: whether the launcher's process is still there.
void JournalLauncherProcess(AddInState& state) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, state.launcherProcessId);
  bool running = process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  if (process) CloseHandle(process);
  state.journal.Write(running ? "launcher running" : "launcher ended");
}

void SignalLauncher(AddInState& state) {
  JournalLauncherProcess(state);
  std::wstring name = ToWide(ResidentEventName(state.launcherProcessId));
  HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str());
  bool set = event && SetEvent(event);
  if (event) CloseHandle(event);
  state.journal.Write("signal " + QuoteText(std::wstring_view(name)) + (set ? " 1" : " 0"));
}

void CALLBACK SignalOnTimer(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  SignalLauncher(AddIn());
}

}  // namespace

AddInState& AddIn() {
  static AddInState state;
  return state;
}

void StartAddIn(AddInState& state) {
  state.scenario = Scenario::LoadBesideExecutable();
  state.journal.Open(state.scenario.Text("journal", L""));
  std::wstring path = ModuleFolder(state.module) + ToWide(GetText(TextId::kStartupInfoFileName));
  bool found = false;
  state.startupInfo = ReadFileBytes(path, found);
  if (!found) {
    state.journal.Write("startinfo none");
  } else {
    state.journal.Write("startinfo " + (state.startupInfo.empty() ? std::string("empty") : HexBytes(state.startupInfo)));
  }
}

void RunAfterMessagePhase(AddInState& state) {
  std::wstring action = state.scenario.Text("after1171", L"nothing");
  if (action == L"cleanup") StartCleanup(state);
  if (action != L"signal") return;
  long long delay = state.scenario.Number("signalDelay", 0);
  if (delay <= 0) {
    SignalLauncher(state);
    return;
  }
  // A thread timer: the host's message loop runs it on the host's window thread.
  SetTimer(nullptr, 0, static_cast<UINT>(delay), SignalOnTimer);
}
