// The launcher's own path as Windows has it, the long form of a path, the single-instance
// mutex's name, and libraries from the system folder.
#include "launcher/app/own_path_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "launcher/base/system_library_win.h"
#include "core/win/files_win.h"
#include "test_support_win.h"

namespace {

std::wstring ModuleFileName(HMODULE module) {
  wchar_t path[1024] = {};
  GetModuleFileNameW(module, path, 1024);
  return path;
}

std::wstring SystemFolder() {
  wchar_t folder[MAX_PATH] = {};
  GetSystemDirectoryW(folder, MAX_PATH);
  return folder;
}

}  // namespace

TEST(OwnPath, IsTheModulesFileNameInItsLongForm) {
  const std::wstring own = OwnModulePath();
  EXPECT_EQ(own, LongPathForm(ModuleFileName(nullptr)));
  EXPECT_EQ(own.find(L'/'), std::wstring::npos);
  EXPECT_EQ(_wcsicmp(own.substr(own.size() - 4).c_str(), L".exe"), 0);
}

TEST(OwnPath, TheLongFormExpandsShortNames) {
  TempFolder folder;
  const std::wstring file = folder.File(L"A rather long file name.exe");
  WriteFileBytes(file, "MZ");
  wchar_t shortPath[MAX_PATH] = {};
  ASSERT_NE(GetShortPathNameW(file.c_str(), shortPath, MAX_PATH), 0u);
  EXPECT_EQ(_wcsicmp(LongPathForm(shortPath).c_str(), file.c_str()), 0) << "from the 8.3 form";
  EXPECT_EQ(LongPathForm(file), file);
  EXPECT_EQ(LongPathForm(L"C:\\no\\such\\file.exe"), L"C:\\no\\such\\file.exe") << "kept when it cannot be had";
  EXPECT_EQ(LongPathForm(L""), L"");
  DeleteFileW(file.c_str());
}

TEST(OwnPath, EverySpellingOfOnePathGivesOneMutexName) {
  EXPECT_EQ(SingleInstanceMutexName(L"C:\\Apps\\Report.exe"), L"C:_APPS_REPORT.EXE");
  EXPECT_EQ(SingleInstanceMutexName(L"c:\\apps\\REPORT.EXE"), L"C:_APPS_REPORT.EXE");
  // Letters beyond ASCII change case as the file system compares them.
  EXPECT_EQ(SingleInstanceMutexName(L"C:\\B\u00fcro\\\u00e4pp.exe"), SingleInstanceMutexName(L"C:\\B\u00dcRO\\\u00c4PP.EXE"));
  EXPECT_EQ(SingleInstanceMutexName(L""), L"");
}

TEST(SystemLibrary, ComesFromTheSystemFolder) {
  for (const wchar_t* name : {L"msftedit.dll", L"gdiplus.dll", L"windowscodecs.dll"}) {
    HMODULE module = LoadSystemLibrary(name);
    ASSERT_NE(module, nullptr) << GetLastError();
    const std::wstring path = ModuleFileName(module);
    const std::wstring folder = SystemFolder() + L"\\";
    EXPECT_EQ(_wcsnicmp(path.c_str(), folder.c_str(), folder.size()), 0);
  }
  EXPECT_EQ(LoadSystemLibrary(L"no-such-library.dll"), nullptr);
}
