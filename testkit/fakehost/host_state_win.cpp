#include "testkit/fakehost/host_state_win.h"

#include <cwchar>
#include <string>

HostState& Host() {
  static HostState host;
  return host;
}

void LoadHostState(HostState& host) {
  host.scenario = Scenario::LoadBesideExecutable();
  const Scenario& s = host.scenario;
  host.journal.Open(s.Text("journal", L""));
  host.caption = s.Text("caption", L"Microsoft Excel");
  host.version = s.Text("version", L"16.0");
  // The fourth group marks the host's build, 1000 a 64-bit one and 0000 a 32-bit one: by
  // default the stand-in host tells its own, as the real host does.
  constexpr bool k64Bit = sizeof(void*) == 8;
  host.productCode = s.Text("productCode", k64Bit ? L"{90160000-000F-0000-1000-0000000FF1CE}"
                                                  : L"{90160000-000F-0000-0000-0000000FF1CE}");
  host.defaultSaveFormat = static_cast<LONG>(s.Number("defaultSaveFormat", 51));
  host.busyOpensLeft = s.Number("busyOpens", 0);
  host.userSavesLeft = s.Number("userSaves", 0);
  // fileValidation=missing: no such member, as before version 14, whatever the version;
  // refuse: the member is there but every call of it fails (a mode fixed by policy);
  // a number: the mode the host starts with.
  const std::wstring fileValidation = s.Text("fileValidation", L"0");
  host.hasFileValidation = std::wcstol(host.version.c_str(), nullptr, 10) >= 14 && fileValidation != L"missing";
  host.refusesFileValidation = fileValidation == L"refuse";
  host.fileValidation = std::wcstol(fileValidation.c_str(), nullptr, 10);
}

bool ReturnsNullString(const HostState& host, DISPID dispid) {
  // nullBstr=<dispid>,<dispid>,...
  std::wstring list = L"," + host.scenario.Text("nullBstr", L"") + L",";
  return list.find(L"," + std::to_wstring(dispid) + L",") != std::wstring::npos;
}
