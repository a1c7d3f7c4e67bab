#include "testkit/fakehost/user_host_win.h"

#include <windows.h>

#include <string>

#include "testkit/common/journal_win.h"
#include "testkit/common/scenario_win.h"
#include "testkit/fakehost/host_state_win.h"

namespace {

constexpr wchar_t kHostWindowClass[] = L"XLMAIN";
constexpr DWORD kStartWaitMs = 10000;
constexpr UINT kAddInMessageSpan = 1024;  // WM_USER to WM_USER + 1023, as the add-in journals them

PROCESS_INFORMATION userHost{};
Journal* userJournal = nullptr;

LRESULT CALLBACK UserHostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_USER && message < WM_USER + kAddInMessageSpan && userJournal) {
    userJournal->Write("user host msg " + std::to_string(message) + " " + std::to_string(static_cast<UINT>(wParam)) +
                       " " + std::to_string(static_cast<LONG>(lParam)));
    return 0;
  }
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

void StartUserHost(HostState& host) {
  if (userHost.hProcess || !host.scenario.Find("userHost")) return;
  std::wstring commandLine = L"\"" + ModulePath(nullptr) + L"\" /userhost";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &userHost)) {
    host.journal.Write("user host error " + std::to_string(GetLastError()));
    return;
  }
  // Idle once its window is made and its message loop waits.
  WaitForInputIdle(userHost.hProcess, kStartWaitMs);
  host.journal.Write("user host started");
}

void EndUserHost() {
  if (!userHost.hProcess) return;
  TerminateProcess(userHost.hProcess, 0);
  WaitForSingleObject(userHost.hProcess, kStartWaitMs);
  CloseHandle(userHost.hThread);
  CloseHandle(userHost.hProcess);
  userHost = {};
}

int RunAsUserHost() {
  const Scenario scenario = Scenario::LoadBesideExecutable();
  Journal journal;
  journal.Open(scenario.Text("journal", L""));
  userJournal = &journal;

  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = UserHostWindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kHostWindowClass;
  if (!RegisterClassW(&windowClass)) return 1;
  HWND window = CreateWindowExW(0, kHostWindowClass, scenario.Text("userHost", L"").c_str(), WS_OVERLAPPEDWINDOW,
                                80, 80, 640, 480, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!window) return 1;
  // The user's host is shown and active: the window in front.
  ShowWindow(window, SW_SHOWNORMAL);
  SetForegroundWindow(window);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  userJournal = nullptr;
  return 0;
}
