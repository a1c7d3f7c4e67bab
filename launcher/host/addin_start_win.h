#pragma once
struct LauncherState;

// What the start of the runtime add-in came to, as the launcher can tell it once the
// loader's open has returned. Only a runtime that answers the start probe (item 1260)
// is checked; an author's add-in that keeps to the numbered messages counts as started,
// as it always did.
enum class AddInStart {
  kStarted,
  kNoStartupInfo,     // the start-up information file could not be written: nothing opened
  kOpenRefused,       // the host refused to open the loader (its file type blocked)
  kLoaderStayedOpen,  // the loader's macro did not run (macros disabled); the loader is closed again
  kNoAnswer,          // the macro ran, the runtime did not start (its calls or the library blocked)
  kHostEnded,         // the host's process ended during the open (the antivirus)
};

// What the start came to, by either way in.
struct StartSeen {
  // What the loader's way came to; kStarted also when the XLL way started the runtime.
  AddInStart result = AddInStart::kStarted;
  // After the loader's way failed, the host refused to load the add-in as an XLL too.
  bool xllRefused = false;
};

// Starts the runtime add-in inside the host: writes the start-up information file and
// the loader workbook, opens the loader (whose open macro loads the add-in), waits a
// moment, checks the start where the add-in answers, and removes both files again,
// whatever the host made of the open. Where the runtime answers the probe and the
// loader's way did not start it in a host that lives on, the host is asked to load the
// add-in as an XLL (xll_start_win.h), and the start checked again.
StartSeen StartAddInInHost(LauncherState& state);
