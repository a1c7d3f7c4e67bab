#pragma once
// What the stand-in host is: its scenario, its journal, its windows and the values of its
// application properties. One per process, used from the process's one thread.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "testkit/common/journal_win.h"
#include "testkit/common/scenario_win.h"

struct HostState {
  Scenario scenario;
  Journal journal;

  HWND mainWindow = nullptr;
  std::vector<HWND> extraWindows;
  HWND otherWindow = nullptr;
  IDispatch* application = nullptr;  // not owned: the object lives while clients hold it

  std::wstring caption;
  std::wstring version;
  std::wstring productCode;
  LONG defaultSaveFormat = 51;
  LONG extraSetting = 0;
  bool visible = false;
  bool userControl = false;
  bool displayAlerts = true;
  bool quitRequested = false;
  bool endRequested = false;

  // The workbooks open in the host, in the order they were opened.
  struct OpenWorkbook {
    int id;
    std::wstring path;
    bool saved;
    std::u16string password;  // an encrypted workbook's: the host saves it encrypted again
  };
  std::vector<OpenWorkbook> openWorkbooks;
  int nextWorkbookId = 1;
  long long busyOpensLeft = 0;  // opens still answered with "busy"
};

HostState& Host();

// Takes the defaults and the scenario's values; opens the journal.
void LoadHostState(HostState& host);

// True when the scenario lists `dispid` among the getters that return a null string.
bool ReturnsNullString(const HostState& host, DISPID dispid);

// Ends the host's message loop from inside, now or after `delayMs`.
void EndHost(DWORD delayMs = 0);
