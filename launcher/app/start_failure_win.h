#pragma once
// A start that the runtime did not prove: what was seen, told to the user in one box
// with what to ask their administrator for.
#include <string>

#include "launcher/host/addin_start_win.h"

struct LauncherState;

// Raised by the launch when the runtime add-in did not start.
struct StartNotProven {
  StartSeen seen;
};

// The process's exit code after such a start.
constexpr int kStartNotProvenExitCode = 3;

struct StartFailureBox {
  std::wstring text;
  std::wstring caption;
};

// The diagnosis and the box's caption, through the application's text overrides and
// macros: composed before the launcher's own objects are released.
// Where the host also refused the add-in as an XLL, that is said after the diagnosis.
StartFailureBox DescribeStartFailure(const StartSeen& seen);

// Shows the diagnosis in one warning box; a test run also writes it to the standard
// output, where whoever ran it reads it.
void TellStartFailure(const LauncherState& state, const StartFailureBox& box);
