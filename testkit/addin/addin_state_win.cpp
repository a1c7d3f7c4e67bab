#include "testkit/addin/addin_state_win.h"

#include <cstdio>
#include <string>

#include "core/win/wide_win.h"
#include "core/text/message_texts.h"
#include "core/payload/workspace_names.h"

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

void StartCleanup(AddInState& state) {
  // The launcher names its executable and the workbook in the start-up information.
  StartupInfo info;
  try {
    info = ParseStartupInfo(state.startupInfo);
  } catch (const std::exception&) {
    state.journal.Write("cleanup error invalid-startinfo");
    return;
  }
  std::wstring launcher = ToWide(info.launcherPath);
  std::wstring commandLine = L"\"" + launcher + L"\" -clnx \"" + ToWide(info.workbookPath) + L"\" -clnd \"" +
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
