#pragma once
#include <string>
#include <vector>

// Reads the command line, loads the rich-edit library, runs the launch sequence and,
// in saved-state mode, waits until the add-in lets the launcher end. Shows a
// notice4user that the launch sequence raised. Always returns 1.
int RunLauncher(const std::vector<std::wstring>& args);
