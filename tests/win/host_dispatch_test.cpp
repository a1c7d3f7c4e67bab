// The automation primitives and host operations against the stand-in host: what reaches
// the server (member, call kind, argument types and values) and what comes back.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "core/host/com_error_win.h"
#include "core/host/dispatch_call_win.h"
#include "core/host/host_ops_win.h"
#include "tests/win/fake_host_fixture.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::StartsWith;

namespace {

class HostDispatchTest : public FakeHostTest {};

HRESULT ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const _com_error& error) {
    return error.Error();
  }
  return S_OK;
}

// An empty file of this name in the temporary folder, for the host to open; empty when it
// cannot be made.
std::wstring EmptyTempFile(const wchar_t* name) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  std::wstring path = std::wstring(temp) + name;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::wstring();
  CloseHandle(file);
  return path;
}

TEST_F(HostDispatchTest, EveryOperationSendsItsMemberWithTheDeclaredTypes) {
  WriteScenario();
  ComPtr<IDispatch> host = StartHost();
  ASSERT_TRUE(host);
  IDispatch* h = host.Get();

  struct Case {
    const char* name;
    std::function<void()> call;
    std::vector<std::string> journal;
  };
  const Case cases[] = {
      {"SetHostVisible(true)", [&] { SetHostVisible(h, true); },
       {"invoke 558 put named=-3 bool -1 lcid=0", "visible 1"}},
      {"SetHostVisible(false)", [&] { SetHostVisible(h, false); },
       {"invoke 558 put named=-3 bool 0 lcid=0", "visible 0"}},
      {"GetHostVersionText", [&] { EXPECT_EQ(GetHostVersionText(h), L"16.0"); }, {"invoke 392 get lcid=0"}},
      // The stand-in host of the tests' own bitness tells its build in the fourth group.
      {"GetHostProductCode",
       [&] {
         EXPECT_EQ(GetHostProductCode(h), sizeof(void*) == 8 ? L"{90160000-000F-0000-1000-0000000FF1CE}"
                                                             : L"{90160000-000F-0000-0000-0000000FF1CE}");
       },
       {"invoke 1798 get lcid=0"}},
      {"GetHostCaption", [&] { EXPECT_EQ(GetHostCaption(h), L"Microsoft Excel"); }, {"invoke 139 get lcid=0"}},
      {"SetHostCaption", [&] { SetHostCaption(h, L"Sheetpack \u00e4 \"q\""); },
       {"invoke 139 put named=-3 bstr \"Sheetpack \xc3\xa4 \\\"q\\\"\" lcid=0"}},
      {"GetHostHwnd",
       [&] {
         HWND window = GetHostHwnd(h);
         EXPECT_EQ(TitleOf(window), L"Sheetpack \u00e4 \"q\"") << "the caption put retitles the main window";
       },
       {"invoke 1950 get lcid=0"}},
      {"GetHostUiLanguage", [&] { EXPECT_EQ(GetHostUiLanguage(h), 1033); },
       {"invoke 1801 get lcid=0", "invoke 1 get i4 2 lcid=0"}},
      {"GetHostDefaultSaveFormat", [&] { EXPECT_EQ(GetHostDefaultSaveFormat(h), 51); }, {"invoke 1209 get lcid=0"}},
      {"SetHostDisplayAlerts", [&] { SetHostDisplayAlerts(h, false); }, {"invoke 343 put named=-3 bool 0 lcid=0"}},
      {"SetHostUserControl", [&] { SetHostUserControl(h, true); }, {"invoke 1210 put named=-3 bool -1 lcid=0"}},
      {"CloseHostWorkbooks", [&] { CloseHostWorkbooks(h); }, {"invoke 572 get lcid=0", "invoke 277 method lcid=0"}},
      {"QuitHost", [&] { QuitHost(h); }, {"invoke 302 method lcid=0", "quit"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NewJournalLines();
    c.call();
    EXPECT_THAT(NewJournalLines(), ElementsAreArray(c.journal));
  }
}

TEST_F(HostDispatchTest, ANullTargetFailsWithEPointer) {
  const std::function<void()> calls[] = {
      [] { SetHostVisible(nullptr, true); },         [] { GetHostVersionText(nullptr); },
      [] { GetHostProductCode(nullptr); },           [] { GetHostHwnd(nullptr); },
      [] { GetHostCaption(nullptr); },               [] { SetHostCaption(nullptr, L"x"); },
      [] { GetHostUiLanguage(nullptr); },            [] { GetHostDefaultSaveFormat(nullptr); },
      [] { SetHostDisplayAlerts(nullptr, false); },  [] { SetHostUserControl(nullptr, true); },
      [] { CloseHostWorkbooks(nullptr); },           [] { QuitHost(nullptr); },
      [] { OpenWorkbookInHost(nullptr, L"a.xls"); },
  };
  for (size_t i = 0; i < std::size(calls); ++i) EXPECT_EQ(ErrorOf(calls[i]), E_POINTER) << "call " << i;
}

TEST_F(HostDispatchTest, ServerExceptionsCarryTheServersCodeAndDescription) {
  WriteScenario({"fail.558=0x800A03EC Visible is locked", "fail.392=0x0005 Version by wCode",
                 "fail.139=0xFE01 Caption by a high wCode"});
  ComPtr<IDispatch> host = StartHost();
  ASSERT_TRUE(host);

  try {
    SetHostVisible(host.Get(), true);
    ADD_FAILURE() << "no exception";
  } catch (const _com_error& error) {
    EXPECT_EQ(error.Error(), static_cast<HRESULT>(0x800A03EC));
    EXPECT_EQ(error.Description(), L"Visible is locked");
  }
  try {
    GetHostVersionText(host.Get());
    ADD_FAILURE() << "no exception";
  } catch (const _com_error& error) {
    // A wCode maps into the interface facility from 0x200 on.
    EXPECT_EQ(error.Error(), static_cast<HRESULT>(0x80040205));
    EXPECT_EQ(error.Description(), L"Version by wCode");
  }
  try {
    GetHostCaption(host.Get());
    ADD_FAILURE() << "no exception";
  } catch (const _com_error& error) {
    // From 0xFE00 on, where 0x200 + wCode would not fit, every wCode maps to the last code.
    EXPECT_EQ(error.Error(), static_cast<HRESULT>(0x8004FFFF));
    EXPECT_EQ(error.Description(), L"Caption by a high wCode");
  }

  // Failures the server reports without exception information: no description.
  try {
    CallMethod(host.Get(), 4242, DISPATCH_METHOD, VT_EMPTY, nullptr, {});
    ADD_FAILURE() << "no exception";
  } catch (const _com_error& error) {
    EXPECT_EQ(error.Error(), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(error.Description(), L"");
  }
}

TEST_F(HostDispatchTest, ResultsAreConvertedToTheRequestedType) {
  WriteScenario({"defaultSaveFormat=56"});
  ComPtr<IDispatch> host = StartHost();
  ASSERT_TRUE(host);

  ScopedVariant format;
  GetProperty(host.Get(), HostDispid::kDefaultSaveFormat, VT_BSTR, format.get());
  ASSERT_EQ((*format).vt, VT_BSTR);
  EXPECT_EQ(std::wstring((*format).bstrVal), L"56");

  ScopedVariant asIs;
  GetProperty(host.Get(), HostDispid::kVersion, VT_VARIANT, asIs.get());
  EXPECT_EQ((*asIs).vt, VT_BSTR) << "VT_VARIANT takes the server's type";

  ScopedVariant caption;
  EXPECT_EQ(ErrorOf([&] { GetProperty(host.Get(), HostDispid::kCaption, VT_I4, caption.get()); }),
            DISP_E_TYPEMISMATCH);

  // Any non-zero number put as VT_BOOL arrives as VARIANT_TRUE.
  NewJournalLines();
  PutProperty(host.Get(), HostDispid::kDisplayAlerts, DispatchArg{VT_BOOL, 7});
  EXPECT_THAT(NewJournalLines(), ElementsAre("invoke 343 put named=-3 bool -1 lcid=0"));
}

TEST_F(HostDispatchTest, NullStringsReadAsEmptyText) {
  WriteScenario({"nullBstr=139,392,1798"});
  ComPtr<IDispatch> host = StartHost();
  ASSERT_TRUE(host);
  EXPECT_EQ(GetHostCaption(host.Get()), L"");
  EXPECT_EQ(GetHostVersionText(host.Get()), L"");
  EXPECT_EQ(GetHostProductCode(host.Get()), L"");
}

TEST_F(HostDispatchTest, LanguageIsZeroUnlessTheHostAnswersWithAnInteger) {
  const struct {
    const char* scenario;
    int32_t expected;
  } cases[] = {{"language=1036", 1036}, {"language=none", 0}, {"language=noobject", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scenario);
    WriteScenario({c.scenario});
    ComPtr<IDispatch> host = StartHost();
    ASSERT_TRUE(host);
    EXPECT_EQ(GetHostUiLanguage(host.Get()), c.expected);
  }
}

TEST_F(HostDispatchTest, OpenPassesThePathAndTwelveMissingArguments) {
  std::wstring workbook = EmptyTempFile(L"host dispatch test.xlsx");
  ASSERT_FALSE(workbook.empty());

  WriteScenario();
  ComPtr<IDispatch> host = StartHost();
  ASSERT_TRUE(host);
  NewJournalLines();
  ComPtr<IDispatch> opened = OpenWorkbookInHost(host.Get(), workbook);
  EXPECT_TRUE(opened);
  std::string missing;
  for (int i = 0; i < 12; ++i) missing += " error -2147352572";
  // Open is the one call made with the system default locale, 0x0800; the host's open
  // line ends with the time of the open.
  EXPECT_THAT(NewJournalLines(),
              ElementsAre("invoke 572 get lcid=0",
                          "invoke 682 method bstr " + Quoted(workbook) + missing + " lcid=2048",
                          StartsWith("open " + Quoted(workbook) + " ")));

  // A missing file is refused by the host; the refusal is a null result, not an error.
  EXPECT_FALSE(OpenWorkbookInHost(host.Get(), workbook + L".gone"));
  DeleteFileW(workbook.c_str());
}

TEST_F(HostDispatchTest, ARejectedOpenIsANullResult) {
  WriteScenario({"rejectOpen=1"});
  ComPtr<IDispatch> host = StartHost();
  ASSERT_TRUE(host);
  ComPtr<IDispatch> opened;
  EXPECT_NO_THROW(opened = OpenWorkbookInHost(host.Get(), FakeHostPath()));
  EXPECT_FALSE(opened);
  EXPECT_THAT(NewJournalLines(), ::testing::Contains(StartsWith("open " + Quoted(FakeHostPath()) + " ")));
}

// The runtime's open: kept off the recent files, a busy host told apart from a refusal,
// and the workbook followed until it is closed.
TEST_F(HostDispatchTest, OpenForUserKeepsOffRecentFilesAndRaisesRefusals) {
  std::wstring workbook = EmptyTempFile(L"host dispatch user.xlsm");
  ASSERT_FALSE(workbook.empty());

  WriteScenario({"busyOpens=1"});
  ComPtr<IDispatch> host = StartHost();
  ASSERT_TRUE(host);
  NewJournalLines();
  EXPECT_EQ(ErrorOf([&] { OpenWorkbookForUser(host.Get(), workbook); }), static_cast<HRESULT>(0x800AC472));
  EXPECT_EQ(CountHostWorkbooks(host.Get()), 0);

  ComPtr<IDispatch> opened = OpenWorkbookForUser(host.Get(), workbook);
  ASSERT_TRUE(opened);
  std::string missing;
  for (int i = 0; i < 11; ++i) missing += " error -2147352572";
  EXPECT_THAT(NewJournalLines(), ::testing::Contains("invoke 682 method bstr " + Quoted(workbook) + missing + " bool 0 lcid=0"));
  EXPECT_EQ(CountHostWorkbooks(host.Get()), 1);
  EXPECT_TRUE(IsWorkbookSaved(opened.Get()));

  CloseHostWorkbooks(host.Get());
  EXPECT_EQ(CountHostWorkbooks(host.Get()), 0);
  EXPECT_THROW(IsWorkbookSaved(opened.Get()), _com_error);
  EXPECT_THROW(OpenWorkbookForUser(host.Get(), workbook + L".gone"), _com_error);
  DeleteFileW(workbook.c_str());
}

// A dispatch driven by a type library takes the locale as given and refuses any
// interface id but IID_NULL; the journal shows the locale of every call.
TEST_F(HostDispatchTest, InvokeJournalsTheLocaleAndRefusesInterfaceIdsOtherThanNull) {
  WriteScenario();
  ComPtr<IDispatch> host = StartHost();
  ASSERT_TRUE(host);
  NewJournalLines();
  const struct {
    const IID* iid;
    HRESULT expected;
  } cases[] = {{&IID_NULL, S_OK}, {&IID_IDispatch, DISP_E_UNKNOWNINTERFACE}};
  for (const auto& c : cases) {
    DISPPARAMS none{};
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(host->Invoke(392, *c.iid, 1031, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), c.expected);
    EXPECT_EQ(result.vt, c.expected == S_OK ? VT_BSTR : VT_EMPTY);
    VariantClear(&result);
    EXPECT_THAT(NewJournalLines(), ElementsAre("invoke 392 get lcid=1031"));
  }
}

// The real host's process stays after Quit while a client holds a reference to it.
TEST_F(HostDispatchTest, QuitEndsTheHostOnlyOnceTheLastReferenceGoes) {
  WriteScenario();
  ComPtr<IDispatch> host = StartHost();
  ASSERT_TRUE(host);
  ScopedHandle process(OpenProcess(SYNCHRONIZE, FALSE, WindowProcess(GetHostHwnd(host.Get()))));
  ASSERT_TRUE(process);

  QuitHost(host.Get());
  EXPECT_EQ(WaitForSingleObject(process.get(), 3000), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(GetHostVersionText(host.Get()), L"16.0") << "the host still answers";
  host.Reset();
  EXPECT_EQ(WaitForSingleObject(process.get(), 10000), static_cast<DWORD>(WAIT_OBJECT_0));
  std::vector<std::string> journal = Journal();
  auto at = [&](const char* line) { return std::find(journal.begin(), journal.end(), line) - journal.begin(); };
  ASSERT_LT(at("end"), static_cast<std::ptrdiff_t>(journal.size()));
  EXPECT_LT(at("quit"), at("released"));
  EXPECT_LT(at("released"), at("end"));
}

}  // namespace
