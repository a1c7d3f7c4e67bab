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
  // What the add-in inside the process gets instead of the application object: its
  // references, like those of any code in the real host's process, keep the object but
  // not the process. It holds one reference of the application's for the process's life.
  IDispatch* inProcessApplication = nullptr;
  LONG inProcessReferences = 0;
  bool clientsGone = false;  // every client in another process has let go

  std::wstring caption;
  std::wstring version;
  std::wstring productCode;
  LONG defaultSaveFormat = 51;
  // FileValidation (from version 14): its mode, and whether the member exists and answers.
  LONG fileValidation = 0;
  bool hasFileValidation = true;
  bool refusesFileValidation = false;
  bool visible = false;
  bool userControl = false;
  bool displayAlerts = true;
  bool quitRequested = false;
  bool endRequested = false;

  // The workbooks open in the host, in the order they were opened.
  struct OpenWorkbook {
    int id;
    std::wstring path;  // the file the host saves it to
    bool saved;
    HWND window;  // its own main window (windowPerWorkbook), else null: it shows in the main window
    std::u16string password;  // an encrypted workbook's: the host saves it encrypted again
    // A kept loader's file, held open against deleting as the host holds an open workbook.
    HANDLE file = nullptr;
    HWND pane = nullptr;  // its pane in its main window's desktop (workbook_pane_win.h)
    // What FullName answers when it is not `path`: the web address of a workbook the host
    // keeps in the cloud (AutoSave), whose local copy is the host's own business.
    std::wstring webAddress{};
    std::u16string savedWith{};  // the password its file on disk is encrypted with (empty: in the clear)
  };
  std::vector<OpenWorkbook> openWorkbooks;
  int nextWorkbookId = 1;
  int addedWorkbooks = 0;  // new empty workbooks (Workbooks.Add), named Book1, Book2, ...
  long long busyOpensLeft = 0;  // opens still answered with "busy"
  HWND activeWindow = nullptr;   // the main window Hwnd names (windowPerWorkbook)
  int opensUnderWay = 0;         // Workbooks.Open calls not returned yet
  std::vector<HWND> workbookWindows;  // main windows made for workbooks (windowPerWorkbook)
  int packagedId = 0;                 // the last workbook opened through Workbooks.Open
  std::wstring packagedPath;
  bool ownWorkbookOpened = false;
  long long userSavesLeft = 0;
  long long editedSaveNumber = 0;
  long long userSaveCount = 0;  // the user's saves so far  // the number of the save that ends the edit under way
};

HostState& Host();

// Takes the defaults and the scenario's values; opens the journal.
void LoadHostState(HostState& host);

// True when the scenario lists `dispid` among the getters that return a null string.
bool ReturnsNullString(const HostState& host, DISPID dispid);

// Ends the host's message loop from inside, now or after `delayMs`.
void EndHost(DWORD delayMs = 0);
