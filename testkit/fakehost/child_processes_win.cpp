#include "testkit/fakehost/child_processes_win.h"

#include <windows.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "core/win/scoped_win.h"
#include "testkit/common/journal_win.h"
#include "testkit/fakehost/host_state_win.h"

void JournalChildProcesses(HostState& host) {
  ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  std::vector<std::string> children;  // quoted executable names
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  const DWORD self = GetCurrentProcessId();
  if (snapshot && Process32FirstW(snapshot.get(), &entry)) {
    do {
      if (entry.th32ParentProcessID == self && entry.th32ProcessID != self) {
        children.push_back(QuoteText(std::wstring_view(entry.szExeFile)));
      }
    } while (Process32NextW(snapshot.get(), &entry));
  }
  host.journal.Write("children " + std::to_string(children.size()));
  for (const std::string& child : children) host.journal.Write("child " + child);
}
