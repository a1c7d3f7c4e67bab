#include "core/win/private_file_win.h"

#include <ntsecapi.h>

#include <vector>

namespace {

// The current user's SID, in a buffer that holds the TOKEN_USER it comes in.
bool CurrentUser(std::vector<unsigned char>& buffer, PSID& user) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  ScopedHandle owned(token);
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  if (size == 0) return false;
  buffer.assign(size, 0);
  if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return false;
  user = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
  return true;
}

}  // namespace

ScopedHandle CreatePrivateNewFile(const std::wstring& path) {
  std::vector<unsigned char> tokenUser;
  PSID user = nullptr;
  if (!CurrentUser(tokenUser, user)) return ScopedHandle(INVALID_HANDLE_VALUE);
  DWORD aclSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(user);
  std::vector<unsigned char> aclBuffer(aclSize, 0);
  auto* acl = reinterpret_cast<ACL*>(aclBuffer.data());
  SECURITY_DESCRIPTOR descriptor;
  if (!InitializeAcl(acl, aclSize, ACL_REVISION) || !AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, user) ||
      !InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) ||
      !SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
    return ScopedHandle(INVALID_HANDLE_VALUE);
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
  // No sharing: nobody reads a half-written file. FILE_FLAG_OPEN_REPARSE_POINT is moot with
  // CREATE_NEW, which fails on any name that exists, a link's included.
  return ScopedHandle(CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, &attributes, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::wstring UnforeseeableName() {
  unsigned char bytes[8] = {};
  if (!RtlGenRandom(bytes, sizeof bytes)) return std::wstring();
  static const wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring name;
  for (unsigned char byte : bytes) {
    name += kDigits[byte >> 4];
    name += kDigits[byte & 15];
  }
  return name;
}
