#pragma once
#include <string>

// Deletes two files left by a run, waiting for other processes to let go of them,
// then removes the second file's folder when it is empty and is not the temporary
// folder itself. Either path may be empty.
void CleanupFiles(const std::wstring& first, const std::wstring& second);

// How long CleanupFiles keeps trying per file.
constexpr int kDeleteAttempts = 1000;
constexpr unsigned kDeleteRetryPauseMs = 200;
