// Application.RegisterXLL and Workbooks.Add of the stand-in host, through the launcher's
// host operations: the host loads a library as an XLL in its own process and calls its
// xlAutoOpen, or refuses it as its add-in policy, a library that does not load or one
// without xlAutoOpen make it; the runtime so loaded starts through a workbook's pane and
// answers the launcher's start probe.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/host/addin_messages.h"
#include "core/host/host_ops_win.h"
#include "tests/win/fake_host_fixture.h"
#include "tests/win/test_support_win.h"

using ::testing::IsSupersetOf;

namespace {

class HostXllTest : public FakeHostTest {};

// The start probe's answer at the window Hwnd names, 0 where nothing answers it.
DWORD_PTR ProbeAnswer(IDispatch* host) {
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(GetHostHwnd(host), RegisterWindowMessageW(AddInMessage::kStartProbeName), 0, 0,
                      SMTO_ABORTIFHUNG, 5000, &answer);
  return answer;
}

TEST_F(HostXllTest, RegisterXllLoadsOnlyWhatItMayAndCallsXlAutoOpen) {
  TempFolder folder;
  const std::wstring runtime = folder.File(L"runtime.dll");
  const std::wstring standIn = folder.File(L"pelkostub.dll");
  const std::wstring testkit = FakeHostPath().substr(0, FakeHostPath().find_last_of(L'\\') + 1);
  ASSERT_TRUE(CopyFileW(BuildOutputPath(SHEETPACK_RUNTIME).c_str(), runtime.c_str(), FALSE));
  ASSERT_TRUE(CopyFileW((testkit + L"pelkostub.dll").c_str(), standIn.c_str(), FALSE));
  const std::wstring missing = folder.File(L"missing.dll");

  // case: (scenario, library, a workbook open first, RegisterXLL's answer, journal lines
  // after `registerxll`, whether the runtime answers the probe afterwards)
  struct Case {
    const char* name;
    std::vector<std::string> scenario;
    std::wstring library;
    bool workbookFirst;
    bool loaded;
    std::vector<std::string> seen;
    bool answers;
  } cases[] = {
      {"the runtime, a workbook open", {}, runtime, true, true, {"getobject nativeom", "xlAutoOpen 1"}, true},
      {"the runtime, no workbook window", {}, runtime, false, true, {"xlAutoOpen 1"}, false},
      {"a library without xlAutoOpen", {}, standIn, true, false, {"xll no xlAutoOpen"}, false},
      {"a library that is not there", {}, missing, true, false, {"xll error 126"}, false},
      {"add-ins must be signed", {"addIns=signedOnly"}, runtime, true, false, {"xll refused \"signedOnly\""}, false},
      {"add-ins disabled", {"addIns=disabled"}, runtime, true, false, {"xll refused \"disabled\""}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteScenario(c.scenario);
    ComPtr<IDispatch> host = StartHost();
    ASSERT_TRUE(host);
    ScopedHandle process(OpenProcess(SYNCHRONIZE, FALSE, WindowProcess(GetHostHwnd(host.Get()))));
    ComPtr<IDispatch> workbook;
    if (c.workbookFirst) workbook = AddHostWorkbook(host.Get());
    NewJournalLines();

    EXPECT_EQ(RegisterHostXll(host.Get(), c.library), c.loaded);
    std::vector<std::string> journal = NewJournalLines();
    ASSERT_FALSE(journal.empty());
    EXPECT_THAT(journal, IsSupersetOf({"registerxll " + Quoted(c.library)}));
    EXPECT_THAT(journal, IsSupersetOf(c.seen));
    EXPECT_EQ(std::find(journal.begin(), journal.end(), "xlAutoOpen 1") != journal.end(), c.loaded)
        << "xlAutoOpen is called exactly when the library is loaded";
    EXPECT_EQ(ProbeAnswer(host.Get()) == AddInMessage::kStartedAnswer, c.answers);

    if (workbook) CloseWorkbookUnsaved(workbook.Get());
    workbook.Reset();
    host.Reset();
    // The library stays loaded in its host until the host ends.
    EXPECT_EQ(WaitForSingleObject(process.get(), 10000), WAIT_OBJECT_0);
  }
}

TEST_F(HostXllTest, AddedWorkbooksAreNamedInTurnAndCountedUntilClosed) {
  WriteScenario();
  ComPtr<IDispatch> host = StartHost();
  ASSERT_TRUE(host);
  ComPtr<IDispatch> first = AddHostWorkbook(host.Get());
  ComPtr<IDispatch> second = AddHostWorkbook(host.Get());
  EXPECT_EQ(CountHostWorkbooks(host.Get()), 2);
  CloseWorkbookUnsaved(first.Get());
  EXPECT_EQ(CountHostWorkbooks(host.Get()), 1);
  EXPECT_THAT(Journal(), IsSupersetOf({"names \"Add\"", "add \"Book1\"", "add \"Book2\"", "close method \"Book1\""}));
}

}  // namespace
