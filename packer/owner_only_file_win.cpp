#include "packer/owner_only_file.h"

#include <windows.h>

#include <aclapi.h>

#include "core/win/private_file_win.h"
#include "packer/file_io.h"
#include "packer/pack_error.h"

namespace {

// The SIDs that may read any file of the user's anyway: nothing is given away to them.
bool TrustedAnyway(PSID sid, PSID owner) {
  return EqualSid(sid, owner) || IsWellKnownSid(sid, WinLocalSystemSid) ||
         IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || IsWellKnownSid(sid, WinCreatorOwnerSid);
}

}  // namespace

void WriteNewOwnerOnlyFile(const std::filesystem::path& path, std::string_view bytes) {
  const std::string name = PathToUtf8(path);
  ScopedHandle file = CreatePrivateNewFile(path.wstring());
  if (!file) throw PackingFailed(name, "cannot create it (error " + std::to_string(GetLastError()) + ")");
  DWORD written = 0;
  const bool complete = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                        written == bytes.size() && FlushFileBuffers(file.get());
  file.reset();
  if (!complete) {
    DeleteFileW(path.c_str());
    throw PackingFailed(name, "write failed (disk full?)");
  }
}

bool OthersMayRead(const std::filesystem::path& path) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                            &owner, nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  bool others = dacl == nullptr;  // no DACL: everyone has every right
  for (DWORD index = 0; !others && index < dacl->AceCount; ++index) {
    void* entry = nullptr;
    if (!GetAce(dacl, index, &entry)) continue;
    const auto* header = static_cast<ACE_HEADER*>(entry);
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE)) continue;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    const ACCESS_MASK reads = FILE_READ_DATA | GENERIC_READ | GENERIC_ALL;
    if ((allowed->Mask & reads) && !TrustedAnyway(reinterpret_cast<PSID>(&allowed->SidStart), owner)) others = true;
  }
  LocalFree(descriptor);
  return others;
}
