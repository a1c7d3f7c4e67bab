#include "launcher/app/cleanup_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "test_support_win.h"

namespace {

// Holds a file open without delete sharing, as a running host holds its add-in.
class FileHolder {
 public:
  FileHolder(const std::wstring& path, DWORD holdMs) {
    handle_ = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    thread_ = std::thread([this, holdMs] {
      Sleep(holdMs);
      CloseHandle(handle_);
    });
  }
  ~FileHolder() { thread_.join(); }
  bool holding() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
  std::thread thread_;
};

double SecondsToClean(const std::wstring& first, const std::wstring& second) {
  auto start = std::chrono::steady_clock::now();
  CleanupFiles(first, second);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

TEST(CleanupFiles, WaitsForAFileInUseThenRemovesItsFolder) {
  TempFolder folder;
  std::wstring workbook = folder.File(L"Report.xlsm");
  std::wstring addIn = folder.File(L"pelkostub.dll");
  WriteFileBytes(workbook, "workbook");
  WriteFileBytes(addIn, "add-in");

  FileHolder holder(addIn, 1500);
  ASSERT_TRUE(holder.holding());
  double seconds = SecondsToClean(workbook, addIn);

  EXPECT_FALSE(FileExists(workbook));
  EXPECT_FALSE(FileExists(addIn));
  EXPECT_FALSE(FolderExists(folder.path()));
  EXPECT_GE(seconds, 1.3);  // it really waited for the holder
  EXPECT_LT(seconds, 5.0);
}

TEST(CleanupFiles, KeepsAFolderThatStillHoldsFiles) {
  TempFolder folder;
  std::wstring addIn = folder.File(L"pelkostub.dll");
  std::wstring other = folder.File(L"other.txt");
  WriteFileBytes(addIn, "add-in");
  WriteFileBytes(other, "stays");

  CleanupFiles(L"", addIn);

  EXPECT_FALSE(FileExists(addIn));
  EXPECT_TRUE(FileExists(other));
  EXPECT_TRUE(FolderExists(folder.path()));
}

TEST(CleanupFiles, NeverRemovesTheFirstFilesFolder) {
  TempFolder folder;
  std::wstring workbook = folder.File(L"Report.xls");
  WriteFileBytes(workbook, "workbook");

  CleanupFiles(workbook, L"");

  EXPECT_FALSE(FileExists(workbook));
  EXPECT_TRUE(FolderExists(folder.path()));
}

TEST(CleanupFiles, NeverRemovesTheTemporaryFolderItself) {
  std::wstring addIn = TempPath() + L"sheetpack-cleanup-direct.dll";
  WriteFileBytes(addIn, "add-in");
  // The temporary folder is empty but for this file in a fresh prefix; it must stay anyway.
  CleanupFiles(L"", addIn);
  EXPECT_FALSE(FileExists(addIn));
  EXPECT_TRUE(FolderExists(TempPath()));
}

TEST(CleanupFiles, CostsNoWaitingForMissingPathsOrFolders) {
  TempFolder folder;
  std::wstring subfolder = folder.File(L"sub");
  CreateDirectoryW(subfolder.c_str(), nullptr);

  EXPECT_LT(SecondsToClean(L"", L""), 0.5);
  EXPECT_LT(SecondsToClean(folder.File(L"missing.xls"), folder.File(L"missing.dll")), 0.5);
  // A path that names a folder is not a file to delete and is not waited for.
  EXPECT_LT(SecondsToClean(subfolder, L""), 0.5);
  EXPECT_TRUE(FolderExists(subfolder));
  RemoveDirectoryW(subfolder.c_str());
}

TEST(CleanupFiles, RemovesAFolderWhosePathIsLongerThan260Characters) {
  // Cleanup mode gets whatever -clnd names; a folder part this long made the C runtime's
  // path splitter fail (or end the process through its invalid-parameter handler).
  TempFolder folder;
  std::wstring deep = L"\\\\?\\" + folder.path();
  std::vector<std::wstring> levels;
  while (deep.size() < 320) {
    deep += L"\\" + std::wstring(60, L'd');
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr)) << GetLastError();
    levels.push_back(deep);
  }
  const std::wstring workbook = deep + L"\\Report.xlsm";
  const std::wstring addIn = deep + L"\\pelkostub.dll";
  WriteFileBytes(workbook, "workbook");
  WriteFileBytes(addIn, "add-in");
  ASSERT_TRUE(FileExists(addIn));

  CleanupFiles(workbook, addIn);

  EXPECT_FALSE(FileExists(workbook));
  EXPECT_FALSE(FileExists(addIn));
  EXPECT_FALSE(FolderExists(deep)) << "the add-in's folder is removed";
  for (auto level = levels.rbegin(); level != levels.rend(); ++level) RemoveDirectoryW(level->c_str());
}
