#include "testkit/fakehost/session_end_win.h"

#include <windows.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "core/win/scoped_win.h"
#include "testkit/common/journal_win.h"
#include "testkit/fakehost/host_state_win.h"

namespace {

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
  reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
  return TRUE;
}

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
  return text;
}

// Whether the session's end leaves the process running: the system's own, or one the
// scenario spares.
bool Spared(HostState& host, DWORD processId, const std::wstring& exeName) {
  const std::wstring spares = L"|" + Lower(host.scenario.Text("sessionSpares", L"driver.exe")) + L"|";
  if (spares.find(L"|" + Lower(exeName) + L"|") != std::wstring::npos) return true;
  ScopedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  wchar_t image[MAX_PATH] = {}, windows[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  if (!process || !QueryFullProcessImageNameW(process.get(), 0, image, &size)) return true;
  UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
  return length > 0 && Lower(image).rfind(Lower(windows) + L"\\", 0) == 0;
}

}  // namespace

void EndEveryProcessOfTheSession(HostState& host) {
  ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  const DWORD self = GetCurrentProcessId();
  if (snapshot && Process32FirstW(snapshot.get(), &entry)) {
    do {
      if (entry.th32ProcessID == self || entry.th32ProcessID == 0) continue;
      if (Spared(host, entry.th32ProcessID, entry.szExeFile)) continue;
      ScopedHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
      if (process && TerminateProcess(process.get(), 1)) {
        host.journal.Write("session kill " + QuoteText(std::wstring_view(entry.szExeFile)));
      }
    } while (Process32NextW(snapshot.get(), &entry));
  }
  host.journal.Write("session over");
  TerminateProcess(GetCurrentProcess(), 1);
}

namespace {

void CALLBACK EndSession(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  HostState& host = Host();
  std::vector<HWND> windows;
  EnumThreadWindows(GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&windows));
  bool agreed = true;
  for (HWND window : windows) {
    if (IsWindow(window) && !SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF)) agreed = false;
  }
  host.journal.Write(agreed ? "session query 1" : "session query 0");
  // A log-off is not stopped by an application's answer: Windows asks, then goes on.
  for (HWND window : windows) {
    if (IsWindow(window)) SendMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  }
  host.journal.Write("session end");
  EndEveryProcessOfTheSession(host);
}

}  // namespace

void ScheduleSessionEnd(HostState& host) {
  long long delay = host.scenario.Number("logOffAfter", -1);
  if (delay >= 0) SetTimer(nullptr, 0, static_cast<UINT>(delay), EndSession);
}
