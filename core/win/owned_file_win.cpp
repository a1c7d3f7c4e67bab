#include "core/win/owned_file_win.h"

#include <aclapi.h>

OwnedFile::OwnedFile(const std::wstring& path)
    : file_(CreateFileW(path.c_str(), GENERIC_READ | READ_CONTROL, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_FLAG_OPEN_REPARSE_POINT, nullptr)) {}

bool OwnedFile::OwnedBy(const CurrentUser& user) const {
  if (!file_) return false;
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(file_.get(), &information)) return false;
  if (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(file_.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                      &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const bool owns = user.Is(owner);
  LocalFree(descriptor);
  return owns;
}

std::optional<std::string> OwnedFile::ReadAll() const {
  if (!file_) return std::nullopt;
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(file_.get(), start, nullptr, FILE_BEGIN)) return std::nullopt;
  std::string bytes;
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file_.get(), buffer, sizeof buffer, &got, nullptr)) return std::nullopt;
    if (got == 0) return bytes;
    bytes.append(buffer, got);
  }
}

std::optional<std::string> ReadOwnedFile(const std::wstring& path, const CurrentUser& user) {
  const OwnedFile file(path);
  if (!file.OwnedBy(user)) return std::nullopt;
  return file.ReadAll();
}
