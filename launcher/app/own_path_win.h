#pragma once
// The launcher's own path, as Windows loaded the executable: never argv[0], which the
// caller spells as it likes (relative, in another letter case, with forward slashes, in
// its 8.3 short form, or with ".." leading anywhere).
#include <string>

// GetModuleFileNameW of the executable, in a buffer grown until the whole path fits, in
// its long form. Empty when Windows does not give it.
std::wstring OwnModulePath();

// The name of the single-instance mutex for a launcher at `path` (its long form): the
// path in upper case with every backslash replaced by "_", so that every spelling of one
// file meets the same guard.
std::wstring SingleInstanceMutexName(const std::wstring& path);
