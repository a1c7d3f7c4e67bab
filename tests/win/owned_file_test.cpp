// A file trusted as the current user's (a saved state beside the executable) is checked and
// read through one handle: what is read is what was checked, and while it is held nobody
// can put another file under its name.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/win/current_user_win.h"
#include "core/win/files_win.h"
#include "core/win/owned_file_win.h"
#include "tests/win/test_support_win.h"

namespace {

const std::string kChecked = "the state the user wrote";
const std::string kPlanted = "a state somebody else planted";

TEST(OwnedFile, ReadsWhatItCheckedWhileNobodyCanPutAnotherFileUnderItsName) {
  TempFolder folder;
  const std::wstring path = folder.File(L"App.vstg");
  const std::wstring planted = folder.File(L"planted.vstg");
  const std::wstring movedAway = folder.File(L"moved.vstg");
  WriteFileBytes(path, kChecked);
  const CurrentUser user;
  const OwnedFile file(path);
  ASSERT_TRUE(file.OwnedBy(user));

  // Each way to swap the file between the check and the read, tried by name meanwhile.
  struct Swap {
    const char* what;
    std::function<bool()> attempt;
  };
  const std::vector<Swap> swaps = {
      {"replaced by a move", [&] {
         WriteFileBytes(planted, kPlanted);
         return MoveFileExW(planted.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
       }},
      {"moved away", [&] { return MoveFileExW(path.c_str(), movedAway.c_str(), 0) != FALSE; }},
      {"deleted", [&] { return DeleteFileW(path.c_str()) != FALSE; }},
      {"rewritten", [&] { return WriteWholeFile(path, kPlanted); }},
  };
  for (const Swap& swap : swaps) EXPECT_FALSE(swap.attempt()) << swap.what;

  EXPECT_EQ(file.ReadAll(), kChecked);
  // Read twice from the same handle: each read starts at the beginning.
  EXPECT_EQ(file.ReadAll(), kChecked);
}

TEST(OwnedFile, TrustsOnlyAPlainFileOfTheUser) {
  TempFolder folder;
  const std::wstring plain = folder.File(L"App.vstg");
  const std::wstring subfolder = folder.File(L"App.folder.vstg");
  WriteFileBytes(plain, kChecked);
  ASSERT_TRUE(CreateDirectoryW(subfolder.c_str(), nullptr));
  const CurrentUser user;
  struct Case {
    const char* what;
    std::wstring path;
    std::optional<std::string> read;
  };
  const std::vector<Case> cases = {
      {"the user's file", plain, kChecked},
      {"a folder", subfolder, std::nullopt},
      {"a name with nothing behind it", folder.File(L"missing.vstg"), std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadOwnedFile(c.path, user), c.read) << c.what;
}

TEST(OwnedFile, RefusesALinkEvenToTheUsersOwnFile) {
  TempFolder folder;
  const std::wstring target = folder.File(L"elsewhere.vstg");
  const std::wstring link = folder.File(L"App.vstg");
  WriteFileBytes(target, kPlanted);
  if (!CreateSymbolicLinkW(link.c_str(), target.c_str(), 0)) {
    GTEST_SKIP() << "no symbolic links here (error " << GetLastError() << ")";
  }
  const CurrentUser user;
  EXPECT_FALSE(OwnedFile(link).OwnedBy(user));
  EXPECT_EQ(ReadOwnedFile(link, user), std::nullopt);
  EXPECT_EQ(ReadOwnedFile(target, user), kPlanted);
}

}  // namespace
