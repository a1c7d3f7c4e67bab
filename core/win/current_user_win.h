#pragma once
// The account this process runs as, for owner checks and owner-only permissions.
#include <windows.h>

#include <memory>

class CurrentUser {
 public:
  CurrentUser();
  // Null when the process token could not be read: then nothing counts as the user's.
  PSID sid() const { return sid_; }
  // True when `owner` is this user's account.
  bool Is(PSID owner) const { return sid_ && owner && IsValidSid(owner) && EqualSid(sid_, owner); }
  // True when the file or folder's owner is this user.
  bool Owns(const wchar_t* path) const;

 private:
  std::unique_ptr<unsigned char[]> buffer_;
  PSID sid_ = nullptr;
};
