#include "core/win/current_user_win.h"

#include <aclapi.h>

#include "core/win/scoped_win.h"

CurrentUser::CurrentUser() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
  ScopedHandle ownedToken(token);
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  if (size == 0) return;
  buffer_ = std::make_unique<unsigned char[]>(size);
  if (!GetTokenInformation(token, TokenUser, buffer_.get(), size, &size)) return;
  sid_ = reinterpret_cast<TOKEN_USER*>(buffer_.get())->User.Sid;
}

bool CurrentUser::Owns(const wchar_t* path) const {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(path, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                            &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const bool owns = Is(owner);
  LocalFree(descriptor);
  return owns;
}
