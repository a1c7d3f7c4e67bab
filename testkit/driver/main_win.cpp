// driver.exe: runs a program and plays the user for it.
//   driver.exe --journal FILE [--timeout MS] [--settle MS] [--answer MATCH=ACTION]... -- PROGRAM [ARGS]...
// Every visible top-level window of the program is written to the journal once (see
// window_report_win.h), then answered with the action of the first --answer whose MATCH
// is part of its class or title: press:<id> (a click on that button), type:<text> (the
// text into the first edit box, then a click on button 1), close, or wait. A window no
// answer matches is closed. When the program ends: exit <code>; when it outlives the
// time-out (default 60000 ms) it is ended and the journal says timeout. --settle is how
// long a new window is left alone before it is read and answered (default 300 ms).
// --host-class CLASS: the spreadsheet host, a process of its own, is played for as well:
// the visible windows of every process with a window of that class (but those of the class)
// are answered in the same way, and the driver waits, after the program's end, until no window of that class
// is left (journal: host gone).
// --env NAME=VALUE: the program runs with that environment variable set (TEMP in a folder
// of the test's choosing, say).
// Exit code: 0 the program ended, 2 bad arguments, 3 time-out, 4 the program did not start.
#include <windows.h>
#include <shellapi.h>

#include <set>
#include <string>
#include <vector>

#include "testkit/common/journal_win.h"
#include "testkit/driver/window_report_win.h"

namespace {

constexpr DWORD kPollMs = 50;
constexpr DWORD kDefaultSettleMs = 300;  // a new window gets this long to lay out and paint itself
constexpr DWORD kDefaultTimeoutMs = 60000;

struct Answer {
  std::wstring match;
  std::wstring action;
};

struct Options {
  std::wstring journal;
  DWORD timeoutMs = kDefaultTimeoutMs;
  DWORD settleMs = kDefaultSettleMs;
  std::vector<Answer> answers;
  std::wstring hostClass;
  std::vector<std::pair<std::wstring, std::wstring>> environment;
  std::wstring commandLine;  // the program and its arguments
};

// Quotes one argument so that the program's argument parser gets it back unchanged.
std::wstring QuoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
    } else if (c == L'"') {
      out.append(backslashes * 2 + 1, L'\\');
      backslashes = 0;
    } else {
      out.append(backslashes, L'\\');
      backslashes = 0;
    }
    if (c != L'\\') out += c;
  }
  out.append(backslashes * 2, L'\\');
  out += L'"';
  return out;
}

bool ParseOptions(int count, wchar_t** args, Options& options) {
  int i = 1;
  for (; i < count; ++i) {
    std::wstring arg = args[i];
    if (arg == L"--") break;
    if (i + 1 >= count) return false;
    std::wstring value = args[++i];
    if (arg == L"--journal") {
      options.journal = value;
    } else if (arg == L"--timeout") {
      options.timeoutMs = static_cast<DWORD>(std::wcstoul(value.c_str(), nullptr, 10));
    } else if (arg == L"--settle") {
      options.settleMs = static_cast<DWORD>(std::wcstoul(value.c_str(), nullptr, 10));
    } else if (arg == L"--host-class") {
      options.hostClass = value;
    } else if (arg == L"--answer") {
      size_t equals = value.find(L'=');
      if (equals == std::wstring::npos) return false;
      options.answers.push_back({value.substr(0, equals), value.substr(equals + 1)});
    } else if (arg == L"--env") {
      size_t equals = value.find(L'=');
      if (equals == std::wstring::npos || equals == 0) return false;
      options.environment.emplace_back(value.substr(0, equals), value.substr(equals + 1));
    } else {
      return false;
    }
  }
  for (++i; i < count; ++i) {
    if (!options.commandLine.empty()) options.commandLine += L' ';
    options.commandLine += QuoteArgument(args[i]);
  }
  return !options.commandLine.empty();
}

struct WindowSearch {
  std::set<DWORD> processIds;
  std::wstring hostClass;
  std::vector<HWND> windows;
};

BOOL CALLBACK FindHostProcesses(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  wchar_t className[256] = {};
  GetClassNameW(window, className, 256);
  if (search->hostClass != className) return TRUE;
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  search->processIds.insert(processId);
  return TRUE;
}

BOOL CALLBACK CollectVisibleWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (!search->processIds.count(processId) || !IsWindowVisible(window)) return TRUE;
  // The host's main windows are the user's to close, and the scenario's: only its boxes are played.
  wchar_t className[256] = {};
  GetClassNameW(window, className, 256);
  if (search->hostClass != className) search->windows.push_back(window);
  return TRUE;
}

// The visible windows of the program and, with --host-class, of the host.
std::vector<HWND> WindowsToPlay(const Options& options, DWORD programId, bool programRunning) {
  WindowSearch search{{}, options.hostClass, {}};
  if (programRunning) search.processIds.insert(programId);
  if (!options.hostClass.empty()) EnumWindows(FindHostProcesses, reinterpret_cast<LPARAM>(&search));
  EnumWindows(CollectVisibleWindow, reinterpret_cast<LPARAM>(&search));
  return search.windows;
}

bool HostRunning(const Options& options) {
  return !options.hostClass.empty() && FindWindowW(options.hostClass.c_str(), nullptr);
}

std::wstring ChooseAction(const Options& options, HWND window) {
  wchar_t className[256] = {};
  GetClassNameW(window, className, 256);
  std::wstring title = WindowText(window);
  for (const Answer& answer : options.answers) {
    if (std::wstring(className).find(answer.match) != std::wstring::npos ||
        title.find(answer.match) != std::wstring::npos) {
      return answer.action;
    }
  }
  return L"close";
}

BOOL CALLBACK FindEdit(HWND child, LPARAM context) {
  wchar_t className[64] = {};
  GetClassNameW(child, className, 64);
  if (lstrcmpiW(className, L"Edit") != 0) return TRUE;
  *reinterpret_cast<HWND*>(context) = child;
  return FALSE;
}

void Press(HWND window, int id) {
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

void Act(Journal& journal, HWND window, const std::wstring& action) {
  journal.Write("action " + QuoteText(std::wstring_view(action)));
  if (action.rfind(L"press:", 0) == 0) {
    Press(window, static_cast<int>(std::wcstol(action.c_str() + 6, nullptr, 10)));
  } else if (action.rfind(L"type:", 0) == 0) {
    HWND edit = nullptr;
    EnumChildWindows(window, FindEdit, reinterpret_cast<LPARAM>(&edit));
    std::wstring text = action.substr(5);
    DWORD_PTR ignored = 0;
    if (edit) SendMessageTimeoutW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 1000, &ignored);
    Press(window, IDOK);
  } else if (action == L"close") {
    PostMessageW(window, WM_CLOSE, 0, 0);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  Options options;
  bool valid = args && ParseOptions(count, args, options);
  LocalFree(args);
  if (!valid) return 2;

  Journal journal;
  journal.Open(options.journal);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  // The program inherits the driver's environment.
  for (const auto& [name, value] : options.environment) SetEnvironmentVariableW(name.c_str(), value.c_str());
  std::wstring commandLine = options.commandLine;
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    journal.Write("start error " + std::to_string(GetLastError()));
    return 4;
  }
  CloseHandle(process.hThread);

  std::set<HWND> seen;
  DWORD started = GetTickCount();
  bool programRunning = true;
  while (programRunning || HostRunning(options)) {
    if (programRunning && WaitForSingleObject(process.hProcess, kPollMs) != WAIT_TIMEOUT) {
      programRunning = false;
      DWORD exitCode = 0;
      GetExitCodeProcess(process.hProcess, &exitCode);
      journal.Write("exit " + std::to_string(exitCode));
      if (!HostRunning(options)) break;
    }
    if (!programRunning) Sleep(kPollMs);
    if (GetTickCount() - started > options.timeoutMs) {
      journal.Write("timeout");
      if (programRunning) TerminateProcess(process.hProcess, 1);
      CloseHandle(process.hProcess);
      return 3;
    }
    for (HWND window : WindowsToPlay(options, process.dwProcessId, programRunning)) {
      if (!seen.insert(window).second) continue;
      Sleep(options.settleMs);
      if (!IsWindow(window)) continue;
      ReportWindow(journal, window);
      Act(journal, window, ChooseAction(options, window));
    }
  }
  CloseHandle(process.hProcess);
  if (!options.hostClass.empty()) journal.Write("host gone");
  return 0;
}
