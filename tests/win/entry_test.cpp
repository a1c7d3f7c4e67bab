// The launcher stub as a whole process: cleanup mode, and the warning it shows when
// it carries no settings.
#include <windows.h>

#include <gtest/gtest.h>

#include "core/win/wide_win.h"
#include "core/text/message_texts.h"
#include "test_support_win.h"

namespace {

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

DWORD RunStub(const std::wstring& arguments) {
  PROCESS_INFORMATION process = StartProcess(StubPath(), Quoted(StubPath()) + L" " + arguments);
  EXPECT_NE(process.hProcess, nullptr);
  return WaitForExit(process, 20000);
}

}  // namespace

TEST(Entry, CleanupModeDeletesBothFilesAndTheSecondFolderThenExitsOne) {
  TempFolder workbookFolder;
  TempFolder workspace;
  std::wstring workbook = workbookFolder.File(L"Report (copy).xlsm");
  std::wstring addIn = workspace.File(L"pelkostub.dll");
  WriteFileBytes(workbook, "workbook");
  WriteFileBytes(addIn, "add-in");

  EXPECT_EQ(RunStub(L"-CLNX " + Quoted(workbook) + L" -clnd " + Quoted(addIn)), 1u);

  EXPECT_FALSE(FileExists(workbook));
  EXPECT_FALSE(FileExists(addIn));
  EXPECT_TRUE(FolderExists(workbookFolder.path()));
  EXPECT_FALSE(FolderExists(workspace.path()));
}

TEST(Entry, CleanupModeWithADanglingSwitchStillUsesTheCompletePair) {
  TempFolder folder;
  std::wstring workbook = folder.File(L"Report.xls");
  WriteFileBytes(workbook, "workbook");

  EXPECT_EQ(RunStub(L"-clnx " + Quoted(workbook) + L" -clnd"), 1u);
  EXPECT_FALSE(FileExists(workbook));
}

TEST(Entry, StubWithoutSettingsWarnsAndExitsZero) {
  PROCESS_INFORMATION process = StartProcess(StubPath(), Quoted(StubPath()));
  ASSERT_NE(process.hProcess, nullptr);

  ShownMessageBox box = WaitForMessageBox(process.dwProcessId, 20000);
  ASSERT_NE(box.window, nullptr) << "no message box appeared";
  EXPECT_EQ(box.text, ToWide(GetText(TextId::kSettingsInvalid)));
  EXPECT_EQ(box.caption, ToWide(GetText(TextId::kWarningCaption)));
  EXPECT_EQ(box.icon, IDI_WARNING);
  PostMessageW(box.window, WM_COMMAND, IDOK, 0);

  EXPECT_EQ(WaitForExit(process, 20000), 0u);
}
