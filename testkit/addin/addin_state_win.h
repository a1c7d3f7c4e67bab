#pragma once
// What the stand-in add-in keeps between its start and the end of the message phase.
#include <windows.h>

#include <string>

#include "testkit/common/journal_win.h"
#include "testkit/common/scenario_win.h"

struct AddInState {
  HMODULE module = nullptr;
  void* application = nullptr;  // the host's application object, not owned
  Scenario scenario;
  Journal journal;
  std::string startupInfo;      // the start-up information file as found at the start
  DWORD launcherProcessId = 0;  // from message 1159
};

AddInState& AddIn();

// Reads the host's scenario, opens the journal and reads the start-up information file
// from the add-in's own folder (journal: startinfo <hex>, or startinfo none).
void StartAddIn(AddInState& state);

// after1171=nothing|cleanup|signal: nothing; start the launcher in cleanup mode for the
// workbook and the add-in (journal: cleanup "<command line>" or cleanup error <code>);
// or set the launcher's resident event, signalDelay milliseconds later (journal:
// launcher running|ended, then signal "<name>" <1 when set, else 0>).
void RunAfterMessagePhase(AddInState& state);
