// The stand-in host and add-in together, the way the launcher meets them: opening the
// loader workbook that the packer writes, beside the add-in, starts the add-in, which then
// journals the start-up information and every private message to the host window, and
// acts after the last one.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/win/wide_win.h"
#include "core/host/host_ops_win.h"
#include "core/text/message_texts.h"
#include "packer/loader/loader_workbook.h"
#include "tests/win/fake_host_fixture.h"

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsSupersetOf;

namespace {

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  FILE* file = _wfopen(path.c_str(), L"wb");
  ASSERT_NE(file, nullptr);
  fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
}

class HostLoaderTest : public FakeHostTest {
 protected:
  void SetUp() override {
    FakeHostTest::SetUp();
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"host loader test\\";
    CreateDirectoryW(folder_.c_str(), nullptr);
    std::wstring testkit = FakeHostPath().substr(0, FakeHostPath().find_last_of(L'\\') + 1);
    ASSERT_TRUE(CopyFileW((testkit + L"pelkostub.dll").c_str(), (folder_ + L"pelkostub.dll").c_str(), FALSE));
    WriteBytes(folder_ + L"loader.xls", WriteLoaderWorkbook());
    WriteBytes(folder_ + ToWide(GetText(TextId::kStartupInfoFileName)), "\xc3\xa4.xlsx\n12\nC:\\app.exe");
  }
  // The add-in stays loaded in its host until the host ends; only then can it go.
  void TearDown() override {
    for (const wchar_t* name : {L"pelkostub.dll", L"loader.xls"}) DeleteFileW((folder_ + name).c_str());
    DeleteFileW((folder_ + ToWide(GetText(TextId::kStartupInfoFileName))).c_str());
    RemoveDirectoryW(folder_.c_str());
    FakeHostTest::TearDown();
  }

  std::wstring folder_;
};

// The host process of `window`, to wait for its end: only then is the add-in file free.
ScopedHandle HostProcess(HWND window) { return ScopedHandle(OpenProcess(SYNCHRONIZE, FALSE, WindowProcess(window))); }

TEST_F(HostLoaderTest, TheLoaderStartsTheAddInWhichJournalsStartInfoAndMessages) {
  WriteScenario({"quitAfter1171=0"});
  ComPtr<IDispatch> host = StartHost();
  ASSERT_TRUE(host);
  HWND window = GetHostHwnd(host.Get());
  ScopedHandle process = HostProcess(window);
  ASSERT_TRUE(process);
  EXPECT_TRUE(OpenWorkbookInHost(host.Get(), folder_ + L"loader.xls"));

  SendMessageW(window, WM_USER + 135, 4321, 0);
  SendMessageW(window, WM_USER + 157, 51, 9);
  SendMessageW(window, WM_USER + 1023, 1, 2);
  SendMessageW(window, WM_USER + 1024, 1, 2);  // beyond the private range: not journaled
  PostMessageW(window, WM_USER + 147, 0, 0);
  host.Reset();
  EXPECT_EQ(WaitForSingleObject(process.get(), 10000), WAIT_OBJECT_0);

  WIN32_FILE_ATTRIBUTE_DATA addIn{};
  GetFileAttributesExW((folder_ + L"pelkostub.dll").c_str(), GetFileExInfoStandard, &addIn);
  std::vector<std::string> journal = Journal();
  EXPECT_THAT(journal, IsSupersetOf(std::vector<std::string>{
                           "folder \"loader.xls\" " + std::to_string(WriteLoaderWorkbook().size()),
                           "folder \"pelkostub.dll\" " + std::to_string(addIn.nFileSizeLow), "folder \"startup.inf\" 21",
                           "vba \"ThisWorkbook\" declare=1 call=1 load=wide", "loader 1"}));
  // The workbook name in UTF-8, the launcher's id and its path, a line each.
  EXPECT_THAT(journal, Contains("startinfo c3a42e786c73780a31320a433a5c6170702e657865"));
  std::vector<std::string> messages;
  for (const std::string& line : journal) {
    if (line.rfind("msg ", 0) == 0) messages.push_back(line);
  }
  EXPECT_THAT(messages, ElementsAre("msg 1159 4321 0", "msg 1181 51 9", "msg 2047 1 2", "msg 1171 0 0"));
  EXPECT_THAT(journal, Contains("end")) << "1171 ends this host";
}

TEST_F(HostLoaderTest, AfterTheLastMessageTheAddInCanSignalTheResidentEvent) {
  WriteScenario({"after1171=signal", "quitAfter1171=0"});
  // The launcher's side: the event named after its process id, which 1159 carries.
  std::wstring name = ToWide(ResidentEventName(GetCurrentProcessId()));
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
  ASSERT_NE(event, nullptr);

  ComPtr<IDispatch> host = StartHost();
  ASSERT_TRUE(host);
  HWND window = GetHostHwnd(host.Get());
  ScopedHandle process = HostProcess(window);
  ASSERT_TRUE(process);
  EXPECT_TRUE(OpenWorkbookInHost(host.Get(), folder_ + L"loader.xls"));
  SendMessageW(window, WM_USER + 135, GetCurrentProcessId(), 0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << "signalled before the message phase ended";
  PostMessageW(window, WM_USER + 147, 0, 0);
  EXPECT_EQ(WaitForSingleObject(event, 10000), WAIT_OBJECT_0);
  CloseHandle(event);
  host.Reset();
  EXPECT_EQ(WaitForSingleObject(process.get(), 10000), WAIT_OBJECT_0);
  EXPECT_THAT(Journal(), Contains("signal " + Quoted(name) + " 1"));
}

}  // namespace
