// The saved-state file on disk: written in one step (never half a file, no temporary file
// left), and read back only when valid.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "core/win/files_win.h"
#include "core/payload/saved_state.h"
#include "core/payload/saved_state_file_win.h"
#include "tests/win/test_support_win.h"

namespace {

constexpr uint32_t kMagic = 0x0EA21246;

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
    ASSERT_TRUE(ReplaceFileAtomically(path, bytes));
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
  ASSERT_TRUE(ReplaceFileAtomically(path, old));
  // The target is held open without sharing delete: the move over it must fail.
  HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(ReplaceFileAtomically(path, "new bytes"));
  CloseHandle(held);
  EXPECT_EQ(ReadAll(path), old);
  EXPECT_TRUE(OnlyFileIn(folder.path(), L"App.vstg"));
  EXPECT_FALSE(ReplaceFileAtomically(folder.File(L"no folder\\App.vstg"), old));
}

}  // namespace
