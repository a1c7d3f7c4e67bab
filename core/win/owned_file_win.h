#pragma once
// A file that is trusted only when the current user owns it (a saved state beside the
// executable, where others may be able to create files), checked and read through one
// handle. A check by name and a read by name are two opens: between them the name can be
// made to point elsewhere, and what is read is not what was checked.
#include <windows.h>

#include <optional>
#include <string>

#include "core/win/current_user_win.h"
#include "core/win/scoped_win.h"

class OwnedFile {
 public:
  // Opens `path` for reading without following a reparse point (a link is opened as the
  // link), shared for reading only: while it is open nobody can write, rename, replace or
  // delete the file.
  explicit OwnedFile(const std::wstring& path);

  // True when the open file is a plain file (no folder, no reparse point) whose owner is
  // `user`.
  bool OwnedBy(const CurrentUser& user) const;

  // The whole content, read from the open handle; nullopt when it cannot be read.
  std::optional<std::string> ReadAll() const;

 private:
  ScopedHandle file_;
};

// The content of the file at `path` when OwnedFile finds it the user's; nullopt otherwise.
std::optional<std::string> ReadOwnedFile(const std::wstring& path, const CurrentUser& user);
