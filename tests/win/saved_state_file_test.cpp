// The saved-state file on disk: written in one step (never half a file, no temporary file
// left), through a temporary file nobody can plant or read, and read back only when valid.
#include <windows.h>

#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "core/win/files_win.h"
#include "core/payload/saved_state.h"
#include "core/payload/saved_state_file_win.h"
#include "core/win/private_file_win.h"
#include "tests/win/test_support_win.h"

namespace {

constexpr uint32_t kMagic = 0x0EA21246;

std::string WideToUtf8ForTest(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::string ReadAll(const std::wstring& path) {
  std::string bytes;
  ReadWholeFile(path, bytes);
  return bytes;
}

bool OnlyFileIn(const std::wstring& folder, const std::wstring& name) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool only = true;
  do {
    std::wstring entry = found.cFileName;
    if (entry != L"." && entry != L".." && entry != name) only = false;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return only;
}

TEST(SavedStateFile, ReplacesInOneStepAndReadsBackWhatWasWritten) {
  TempFolder folder;
  std::wstring path = folder.File(L"App.vstg");
  SavedState first{"App.xlsm", "settings one", "workbook one", ""};
  SavedState second{"App.xlsm", "settings two", "a longer workbook two", "extra"};

  // A new file, then one replaced: each time the whole new content and nothing beside it.
  for (const SavedState& state : {first, second}) {
    std::string bytes = WriteSavedState(state, kMagic);
    ASSERT_EQ(ReplaceFileSafely(path, bytes), ERROR_SUCCESS);
    EXPECT_EQ(ReadAll(path), bytes);
    EXPECT_TRUE(OnlyFileIn(folder.path(), L"App.vstg"));
  }
  auto read = ReadSavedStateFile(path, kMagic);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->settings, "settings two");
  EXPECT_EQ(read->workbook, "a longer workbook two");
  EXPECT_FALSE(ReadSavedStateFile(path, kMagic + 1)) << "another settings magic";
  EXPECT_FALSE(ReadSavedStateFile(folder.File(L"missing.vstg"), kMagic));
}

TEST(SavedStateFile, AFailedReplaceLeavesTheOldFile) {
  TempFolder folder;
  std::wstring path = folder.File(L"App.vstg");
  std::string old = WriteSavedState({"App.xlsm", "settings", "workbook", ""}, kMagic);
  ASSERT_EQ(ReplaceFileSafely(path, old), ERROR_SUCCESS);
  // The target is held open without sharing delete: the move over it must fail.
  HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  DWORD started = GetTickCount();
  DWORD error = ReplaceFileSafely(path, "new bytes");
  EXPECT_NE(error, static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_GE(GetTickCount() - started, 3000u) << "a held file is waited for a few seconds";
  EXPECT_FALSE(WindowsErrorText(error).empty());
  CloseHandle(held);
  EXPECT_EQ(ReadAll(path), old);
  EXPECT_TRUE(OnlyFileIn(folder.path(), L"App.vstg"));
  EXPECT_EQ(ReplaceFileSafely(folder.File(L"no folder\\App.vstg"), old), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST(SavedStateFile, AFileHeldForAMomentIsWaitedFor) {
  TempFolder folder;
  std::wstring path = folder.File(L"App.vstg");
  ASSERT_EQ(ReplaceFileSafely(path, "old"), ERROR_SUCCESS);
  HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::thread release([held] {
    Sleep(600);
    CloseHandle(held);
  });
  DWORD error = ReplaceFileSafely(path, "new");
  release.join();
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_SUCCESS)) << WideToUtf8ForTest(WindowsErrorText(error));
  EXPECT_EQ(ReadAll(path), "new");
}

// Whatever an attacker can create beside the state file at the names a predictable writer
// would use is never opened or written through: the temporary names are unforeseeable.
TEST(SavedStateFile, NothingPlantedBesideItIsWrittenThrough) {
  TempFolder folder;
  std::wstring path = folder.File(L"App.vstg");
  const std::wstring planted[] = {path + L".tmp", path + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp",
                                  path + L".0000000000000000.tmp"};
  for (const std::wstring& name : planted) WriteFileBytes(name, "planted");

  ASSERT_EQ(ReplaceFileSafely(path, "the state"), ERROR_SUCCESS);
  EXPECT_EQ(ReadAll(path), "the state");
  for (const std::wstring& name : planted) EXPECT_EQ(ReadAll(name), "planted");
}

// The SIDs the DACL of the file at `path` grants anything to, as strings.
std::vector<std::wstring> GrantedTo(const std::wstring& path) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  std::vector<std::wstring> sids;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                            nullptr, &descriptor) != ERROR_SUCCESS) {
    return {L"unreadable"};
  }
  for (WORD i = 0; dacl && i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    wchar_t* text = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace)) || ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    if (ConvertSidToStringSidW(reinterpret_cast<PSID>(&ace->SidStart), &text)) {
      sids.push_back(text);
      LocalFree(text);
    }
  }
  LocalFree(descriptor);
  return sids;
}

std::wstring CurrentUserSid() {
  HANDLE token = nullptr;
  unsigned char buffer[256];
  DWORD size = 0;
  wchar_t* text = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::wstring();
  bool got = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
             ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text);
  CloseHandle(token);
  std::wstring sid = got ? text : L"";
  if (text) LocalFree(text);
  return sid;
}

// The temporary file, created new, grants access to the current user alone (and to the
// local system, which Wine's mapping of the owner's rights adds; Windows keeps the DACL
// as written, with one entry); a file made the ordinary way lets others read it. A name
// taken is never opened.
TEST(SavedStateFile, ThePrivateFileIsTheUsersAloneAndNeverOpensAnExistingOne) {
  TempFolder folder;
  std::wstring path = folder.File(L"new.tmp");
  {
    ScopedHandle file = CreatePrivateNewFile(path);
    ASSERT_TRUE(file);
  }
  const std::wstring user = CurrentUserSid();
  ASSERT_FALSE(user.empty());
  std::vector<std::wstring> granted = GrantedTo(path);
  EXPECT_NE(std::find(granted.begin(), granted.end(), user), granted.end());
  for (const std::wstring& sid : granted) EXPECT_TRUE(sid == user || sid == L"S-1-5-18") << std::string(sid.begin(), sid.end());
  std::wstring ordinary = folder.File(L"ordinary.tmp");
  WriteFileBytes(ordinary, "x");
  EXPECT_GT(GrantedTo(ordinary).size(), granted.size()) << "the check tells a private file from an ordinary one";

  ScopedHandle again = CreatePrivateNewFile(path);
  EXPECT_FALSE(again);
  DWORD error = GetLastError();
  EXPECT_TRUE(error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) << error;
  EXPECT_NE(UnforeseeableName(), UnforeseeableName());
  EXPECT_EQ(UnforeseeableName().size(), 16u);
}

}  // namespace
