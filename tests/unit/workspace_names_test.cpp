#include "core/payload/workspace_names.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <stdexcept>
#include <vector>

#include "core/encoding/utf.h"

namespace {

// Replays fixed draws, then the C library's generator.
std::function<int()> Draws(std::vector<int> values) {
  auto index = std::make_shared<size_t>(0);
  return [values, index] { return *index < values.size() ? values[(*index)++] : rand(); };
}

std::string Narrow(const std::u16string& text) { return Utf16ToUtf8(text); }

}  // namespace

TEST(MakeRandomName, SkipsALeadingDigitAndARepeatTwoPlacesBack) {
  std::u16string name;
  // 3 is a digit (skipped first), 10 'a', 11 'b', 10 'a' again (skipped: equals s[len-2]),
  // 11 'b' ('b' after 'b' is allowed), 12 'c'.
  MakeRandomName(4, name, Draws({3, 10, 11, 10, 11, 12}));
  EXPECT_EQ(Narrow(name), "abbc");
}

TEST(MakeRandomName, ManyNamesKeepTheRules) {
  srand(12345);
  std::set<std::u16string> seen;
  for (int i = 0; i < 2000; ++i) {
    std::u16string name;
    MakeRandomName(8, name, rand);
    ASSERT_EQ(name.size(), 8u);
    EXPECT_TRUE(name[0] >= u'a' && name[0] <= u'z') << Narrow(name);
    for (size_t k = 0; k < name.size(); ++k) {
      char16_t c = name[k];
      EXPECT_TRUE((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z')) << Narrow(name);
      if (k >= 2) {
        EXPECT_NE(c, name[k - 2]) << Narrow(name);
      }
    }
    seen.insert(name);
  }
  EXPECT_GT(seen.size(), 1990u);
}

TEST(MakeRandomName, AppendsToWhatIsThere) {
  std::u16string name = u"ab";
  MakeRandomName(3, name, Draws({10, 12}));  // 'a' would repeat s[0], so 'c'
  EXPECT_EQ(Narrow(name), "abc");
}

struct NamingCase {
  const char16_t* launcher;
  int32_t format;
  std::vector<std::u16string> taken;
  const char* expected;
};

TEST(ChooseWorkbookFilePath, NamesAfterTheLauncherAndNumbersTakenNames) {
  const NamingCase cases[] = {
      {u"C:\\Apps\\Report.exe", 52, {}, "W:\\ws\\Report.xlsm"},
      {u"C:\\Apps\\Report.exe", 50, {}, "W:\\ws\\Report.xlsb"},
      {u"C:\\Apps\\Report.exe", -4143, {}, "W:\\ws\\Report.xls"},
      // The extension is found in a lower-cased copy; the base keeps its stored case.
      {u"C:\\Apps\\Report.EXE", 52, {u"W:\\ws\\Report.xlsm"}, "W:\\ws\\Report(1).xlsm"},
      // A name taken with the classic extension appended counts as taken too.
      {u"C:\\Apps\\Report.exe", 52, {u"W:\\ws\\Report.xlsm.xls", u"W:\\ws\\Report(1).xlsm"}, "W:\\ws\\Report(2).xlsm"},
      // Only the last occurrence of the extension is replaced.
      {u"C:\\Apps\\a.exe.b.exe", 52, {}, "W:\\ws\\a.exe.b.xlsm"},
      // Without the launcher's extension the file name is used as it is, unnumbered.
      {u"C:\\Apps\\Report.com", 52, {u"W:\\ws\\Report.com"}, "W:\\ws\\Report.com"},
      // Without a backslash the path itself is the name.
      {u"Report.exe", 52, {}, "Report.xlsm"},
  };
  for (const auto& c : cases) {
    std::set<std::u16string> taken(c.taken.begin(), c.taken.end());
    auto exists = [&](const std::u16string& path) { return taken.count(path) > 0; };
    EXPECT_EQ(Narrow(ChooseWorkbookFilePath(u"W:\\ws", c.launcher, c.format, exists)), c.expected)
        << Narrow(c.launcher);
  }
}

TEST(ChooseWorkbookFilePath, LooksForTheExtensionInTheFileNameOnly) {
  auto none = [](const std::u16string&) { return false; };
  // A temporary folder whose name holds the launcher's extension stays the folder.
  EXPECT_EQ(Narrow(ChooseWorkbookFilePath(u"C:\\tools.exe.d\\Temp\\ws", u"C:\\Apps\\Report.com", 52, none)),
            "C:\\tools.exe.d\\Temp\\ws\\Report.com");
  EXPECT_EQ(Narrow(ChooseWorkbookFilePath(u"C:\\tools.exe.d\\Temp\\ws", u"C:\\Apps\\Report.exe", 52, none)),
            "C:\\tools.exe.d\\Temp\\ws\\Report.xlsm");
}

TEST(ChooseWorkbookFilePath, AddsNoSecondBackslash) {
  auto none = [](const std::u16string&) { return false; };
  EXPECT_EQ(Narrow(ChooseWorkbookFilePath(u"W:\\", u"C:\\R.exe", 52, none)), "W:\\R.xlsm");
}

// The workbook's path, the launcher's id and path, a line each, and nothing of the
// command line: it may carry the workbook's password.
TEST(StartupInfoBytes, WorkbookPathAndTheLauncherNamedALineEach) {
  EXPECT_EQ(StartupInfoBytes(u"C:\\T\\App.xlsm", 4711, u"C:\\App.exe"), "C:\\T\\App.xlsm\n4711\nC:\\App.exe");
  EXPECT_EQ(StartupInfoBytes(u"", 8, u"C:\\App.exe"), "\n8\nC:\\App.exe");
  EXPECT_EQ(StartupInfoBytes(u"C:\\\u00c4\\b.xlsm", 1, u"C:\\\u20ac.exe"), "C:\\\xc3\x84\\b.xlsm\n1\nC:\\\xe2\x82\xac.exe");
  EXPECT_THROW(StartupInfoBytes(u"bad \xd800 half", 1, u""), std::runtime_error);
}

// A path with a line break would move the fields after it: whoever chose that path
// would choose the launcher the runtime trusts. Refused, in either path.
TEST(StartupInfoBytes, RefusesALineBreakInAField) {
  struct Case {
    std::u16string workbookPath, launcherPath;
  } cases[] = {{u"C:\\T\\a\n1\nC:\\evil.exe\n.xlsm", u"C:\\App.exe"},
               {u"C:\\T\\a.xlsm", u"C:\\App.exe\nC:\\evil.exe"},
               {u"C:\\T\\a\r.xlsm", u"C:\\App.exe"},
               {u"C:\\T\\a.xlsm", u"C:\\App\r.exe"}};
  for (const Case& c : cases) {
    EXPECT_THROW(StartupInfoBytes(c.workbookPath, 1, c.launcherPath), std::invalid_argument);
  }
}

// The runtime reads back what the launcher wrote; a file cut short still gives what it
// holds and names no launcher; bytes that are no UTF-8, or more fields than the launcher
// writes, are refused.
TEST(ParseStartupInfo, ReadsBackWhatTheLauncherWrote) {
  struct Case {
    std::u16string workbookPath;
    uint32_t id;
    std::u16string launcher;
  } cases[] = {{u"C:\\T\\App.xlsm", 4711, u"C:\\App.exe"},
               {u"", 4294967295u, u"C:\\A\\App.exe"},
               {u"C:\\\u00e9\\b.xlsm", 12, u"C:\\\u00e9\\\u00c4pp.exe"}};
  for (const Case& c : cases) {
    StartupInfo info = ParseStartupInfo(StartupInfoBytes(c.workbookPath, c.id, c.launcher));
    EXPECT_EQ(info.workbookPath, c.workbookPath);
    EXPECT_EQ(info.launcherProcessId, c.id);
    EXPECT_EQ(info.launcherPath, c.launcher);
  }
  StartupInfo cutShort = ParseStartupInfo("C:\\T\\App.xlsm");
  EXPECT_EQ(cutShort.workbookPath, u"C:\\T\\App.xlsm");
  EXPECT_EQ(cutShort.launcherProcessId, 0u);
  EXPECT_EQ(cutShort.launcherPath, u"");
  for (const char* badId : {"w\n-1\nC:\\A.exe", "w\n12x\nC:\\A.exe", "w\n4294967296\nC:\\A.exe", "w\n\nC:\\A.exe"}) {
    EXPECT_EQ(ParseStartupInfo(badId).launcherProcessId, 0u) << badId;
  }
  EXPECT_EQ(ParseStartupInfo("").workbookPath, u"");
  for (const char* refused : {"\xff\xfe\n1\nC:\\A.exe", "\"C:\\A.exe\" -x\nC:\\T\\a.xlsm\n1\nC:\\A.exe",
                              "w\n1\nC:\\A.exe\n", "w\r\n1\nC:\\A.exe"}) {
    EXPECT_THROW(ParseStartupInfo(refused), std::runtime_error) << refused;
  }
}

// A folder swept as an earlier run's workspace must be one the launcher could have named,
// holding only files a workspace holds.
TEST(WorkspaceNames, RecogniseOnlyWhatALaunchWrites) {
  std::u16string made;
  int next = 0;
  MakeRandomName(8, made, [&] { return next++ * 7; });
  EXPECT_TRUE(IsWorkspaceFolderName(made)) << Narrow(made);
  for (const char16_t* folder : {u"a1b2c3d4", u"zy0xw1vu"}) EXPECT_TRUE(IsWorkspaceFolderName(folder));
  for (const char16_t* folder : {u"", u"a1b2c3d", u"a1b2c3d4e", u"1abcdefg", u"Abcdefgh", u"abadefgh",
                                 u"ab-cdefg", u"Temp", u"abcdefg\u00e9"}) {
    EXPECT_FALSE(IsWorkspaceFolderName(folder)) << Narrow(folder);
  }
  for (const char16_t* file : {u"pelkostub.dll", u"PelkoStub.DLL", u"startup.inf", u"App.xlsm", u"App(2).xlsb",
                               u"k3m5p7q9.xls", u"B.XLS", u"~$App.xlsm", u"~$p(2).xlsb",
                               u"5B3A2C10", u"0f9e8d7c.TMP"}) {
    EXPECT_TRUE(IsWorkspaceFileName(file)) << Narrow(file);
  }
  for (const char16_t* file : {u"", u".xls", u"notes.txt", u"App.xlsx", u"other.dll", u"App.xlsm.bak", u"desktop.ini",
                               u"5B3A2C1", u"5B3A2C10A", u"5B3A2G10", u"5B3A2C10.bak", u"~$notes.txt"}) {
    EXPECT_FALSE(IsWorkspaceFileName(file)) << Narrow(file);
  }
}
