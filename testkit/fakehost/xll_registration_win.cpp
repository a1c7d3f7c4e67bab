#include "testkit/fakehost/xll_registration_win.h"

#include <windows.h>

#include "testkit/common/journal_win.h"
#include "testkit/fakehost/host_state_win.h"

namespace {

using XllEntry = int(WINAPI*)();

// addIns=signedOnly: the Trust Center's "Require Application Add-ins to be signed by
// Trusted Publisher" (with the notification of unsigned add-ins turned off, as policies
// set it): an unsigned add-in is not loaded, and the caller only learns False.
// addIns=disabled: "Disable all Application Add-ins": no add-in is loaded. allowed (the
// default): the host's own default, which loads any add-in.
bool AddInsRefused(HostState& host) {
  const std::wstring policy = host.scenario.Text("addIns", L"allowed");
  if (policy == L"allowed") return false;
  host.journal.Write("xll refused " + QuoteText(std::wstring_view(policy)));
  return true;
}

}  // namespace

bool RegisterXll(const std::wstring& path) {
  HostState& host = Host();
  host.journal.Write("registerxll " + QuoteText(std::wstring_view(path)));
  if (AddInsRefused(host)) return false;
  HMODULE library = LoadLibraryW(path.c_str());
  if (!library) {
    host.journal.Write("xll error " + std::to_string(GetLastError()));
    return false;
  }
  auto open = reinterpret_cast<XllEntry>(reinterpret_cast<void*>(GetProcAddress(library, "xlAutoOpen")));
  if (!open) {
    host.journal.Write("xll no xlAutoOpen");
    FreeLibrary(library);
    return false;
  }
  // The host keeps the library loaded until the add-in is unregistered or the host ends.
  host.journal.Write("xlAutoOpen " + std::to_string(open()));
  return true;
}
