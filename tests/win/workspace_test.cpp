#include "launcher/payload/workspace_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "core/win/wide_win.h"
#include "core/payload/workspace_names.h"
#include "launcher_state_fixture_win.h"
#include "test_support_win.h"

namespace {

std::string ReadAll(const std::wstring& path) {
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (!file) return "<missing>";
  std::string bytes;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
  fclose(file);
  return bytes;
}

// A process environment variable set for one test, in the C runtime's copy too.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const wchar_t* name, const std::wstring& value) : name_(name) {
    const wchar_t* old = _wgetenv(name);
    hadValue_ = old != nullptr;
    if (old) old_ = old;
    _wputenv_s(name, value.c_str());
    SetEnvironmentVariableW(name, value.c_str());
  }
  ~ScopedEnvironment() {
    _wputenv_s(name_, hadValue_ ? old_.c_str() : L"");
    SetEnvironmentVariableW(name_, hadValue_ ? old_.c_str() : nullptr);
  }

 private:
  const wchar_t* name_;
  bool hadValue_ = false;
  std::wstring old_;
};

using Workspace = LauncherStateTest;

}  // namespace

TEST_F(Workspace, FolderIsNewAndNeverOneThatAnotherProcessPlantedFirst) {
  // Draw the name the launcher would draw next and take it first.
  srand(4242);
  std::u16string next;
  MakeRandomName(8, next, rand);
  std::wstring planted = TempPath() + ToWide(next);
  ASSERT_TRUE(CreateDirectoryW(planted.c_str(), nullptr));

  srand(4242);
  ASSERT_TRUE(CreateWorkspaceFolder(state));
  EXPECT_NE(state.workspaceFolder, planted);
  EXPECT_EQ(state.workspaceFolder.rfind(TempPath(), 0), 0u);
  EXPECT_TRUE(FolderExists(state.workspaceFolder));

  RemoveDirectoryW(state.workspaceFolder.c_str());
  RemoveDirectoryW(planted.c_str());
}

TEST_F(Workspace, AddInItemOfTenBytesIsRefusedBeforeAnyFolderExists) {
  // The test executable carries a 10-byte 64-bit add-in and an 11-byte 32-bit one.
  EXPECT_FALSE(WriteAddInFile(state, true));
  EXPECT_TRUE(state.workspaceFolder.empty());
  EXPECT_TRUE(state.addInFilePath.empty());

  ASSERT_TRUE(WriteAddInFile(state, false));
  EXPECT_EQ(state.addInFilePath, state.workspaceFolder + L"\\pelkostub.dll");
  EXPECT_EQ(ReadAll(state.addInFilePath), "0123456789A");

  DeleteFileW(state.addInFilePath.c_str());
  RemoveDirectoryW(state.workspaceFolder.c_str());
}

TEST_F(Workspace, WorkbookIsNamedAfterTheLauncherAndNumberedWhenTaken) {
  TempFolder folder;
  state.workspaceFolder = folder.path();
  state.exePath = L"C:\\Apps\\Report.EXE";
  SetWorkbookFormat(52);
  WriteFileBytes(folder.File(L"Report.xlsm"), "taken");

  ASSERT_TRUE(WriteWorkbookFile(state));
  EXPECT_EQ(state.workbookFilePath, folder.File(L"Report(1).xlsm"));
  EXPECT_EQ(ReadAll(state.workbookFilePath), "workbook bytes");  // the marker is not written
  EXPECT_TRUE(state.workbookData.empty());
}

TEST_F(Workspace, SavedStateWorkbookWithoutMarkerLeavesAnEmptyFile) {
  TempFolder folder;
  state.workspaceFolder = folder.path();
  state.exePath = L"C:\\Apps\\Tool.exe";
  SetOptions(OPT_SAVED_STATE);
  state.workbookData = "no marker here";

  ASSERT_TRUE(WriteWorkbookFile(state));
  EXPECT_EQ(state.workbookFilePath, folder.File(L"Tool.xls"));
  EXPECT_EQ(ReadAll(state.workbookFilePath), "");
}

TEST_F(Workspace, LoaderWorkbookGetsARandomNameInTheWorkspace) {
  TempFolder folder;
  state.workspaceFolder = folder.path();
  ASSERT_TRUE(WriteLoaderWorkbook(state));
  std::wstring name = state.loaderWorkbookPath.substr(folder.path().size() + 1);
  EXPECT_EQ(name.size(), 12u) << FromWide(name).size();
  EXPECT_EQ(name.substr(8), L".xls");
  EXPECT_EQ(ReadAll(state.loaderWorkbookPath), "loader workbook");
}

TEST_F(Workspace, FallsBackToTheSystemTempSettingWhenTheTempFolderIsMissing) {
  ScopedEnvironment tmp(L"TMP", L"C:\\no\\such\\folder");
  ScopedEnvironment temp(L"TEMP", L"C:\\no\\such\\folder");
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);

  std::wstring folder = GetWorkspaceFolder(state);
  // Wine keeps the system's TEMP as %SystemRoot%\temp, as Windows does.
  EXPECT_EQ(_wcsnicmp(folder.c_str(), windows, wcslen(windows)), 0) << FromWide(folder).size();
  EXPECT_TRUE(FolderExists(folder));
}

TEST_F(Workspace, TheNewWorkspaceFolderFallsBackTooWhenTheTempFolderIsMissing) {
  // TMP naming a folder that does not exist made every launch fail with text 50.
  ScopedEnvironment tmp(L"TMP", L"C:\\no\\such\\folder");
  ScopedEnvironment temp(L"TEMP", L"C:\\no\\such\\folder");
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);

  ASSERT_TRUE(CreateWorkspaceFolder(state));
  EXPECT_EQ(_wcsnicmp(state.workspaceFolder.c_str(), windows, wcslen(windows)), 0);
  EXPECT_TRUE(FolderExists(state.workspaceFolder));
  RemoveDirectoryW(state.workspaceFolder.c_str());
}

TEST_F(Workspace, AnExistingWorkspaceFolderIsKept) {
  state.workspaceFolder = L"C:\\already\\chosen";
  EXPECT_EQ(GetWorkspaceFolder(state), L"C:\\already\\chosen");
}
