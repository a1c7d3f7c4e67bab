#include "tests/win/fake_host_fixture.h"

#include <objbase.h>

#include <filesystem>
#include <fstream>

#include "core/win/wide_win.h"
#include "core/encoding/utf.h"

namespace {

constexpr wchar_t kProgId[] = L"Excel.Application";

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/") + 1); }

std::wstring OwnPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

// The class registered for the ProgID serves from `exe`.
bool IsRegisteredFor(const std::wstring& exe) {
  CLSID clsid{};
  if (FAILED(CLSIDFromProgID(kProgId, &clsid))) return false;
  wchar_t clsidText[64] = {};
  StringFromGUID2(clsid, clsidText, 64);
  std::wstring key = std::wstring(L"CLSID\\") + clsidText + L"\\LocalServer32";
  wchar_t value[1024] = {};
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) {
    return false;
  }
  return L"\"" + exe + L"\"" == value;
}

}  // namespace

// The build puts the testkit beside the tests: <build>/tests/win and <build>/testkit.
std::wstring FakeHostTest::FakeHostPath() {
  std::wstring relative = Folder(OwnPath()) + L"..\\..\\testkit\\fakehost.exe";
  wchar_t full[MAX_PATH] = {};
  GetFullPathNameW(relative.c_str(), MAX_PATH, full, nullptr);
  return full;
}

void FakeHostTest::RunFakeHost(const wchar_t* argument) {
  std::wstring commandLine = L"\"" + FakeHostPath() + L"\" " + argument;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &process))
      << "cannot start " << Utf16ToUtf8(FromWide(commandLine));
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 1;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  ASSERT_EQ(exitCode, 0u) << Utf16ToUtf8(FromWide(commandLine));
}

void FakeHostTest::SetUpTestSuite() {
  ASSERT_NE(GetFileAttributesW(FakeHostPath().c_str()), INVALID_FILE_ATTRIBUTES) << "fakehost.exe is not built";
  if (!IsRegisteredFor(FakeHostPath())) RunFakeHost(L"/regserver");
}

void FakeHostTest::SetUp() {
  CoInitialize(nullptr);
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name() + ".journal";
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  journalBase_ = temp + ToWide(Utf8ToUtf16(name));
}

void FakeHostTest::TearDown() {
  DeleteFileW((Folder(FakeHostPath()) + L"fakehost.ini").c_str());
  CoUninitialize();
}

void FakeHostTest::WriteScenario(const std::vector<std::string>& lines) {
  // A journal per scenario: a host from an earlier one may still be writing its last lines.
  journalPath_ = journalBase_ + L"." + std::to_wstring(++scenarios_);
  DeleteFileW(journalPath_.c_str());
  linesSeen_ = 0;
  std::string content = "journal=" + Utf16ToUtf8(FromWide(journalPath_)) + "\n";
  for (const std::string& line : lines) content += line + "\n";
  std::ofstream(std::filesystem::path(Folder(FakeHostPath()) + L"fakehost.ini"), std::ios::binary) << content;
}

ComPtr<IDispatch> FakeHostTest::StartHost() {
  CLSID clsid{};
  ComPtr<IDispatch> host;
  HRESULT hr = CLSIDFromProgID(kProgId, &clsid);
  if (SUCCEEDED(hr)) {
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, reinterpret_cast<void**>(host.Put()));
  }
  EXPECT_EQ(hr, S_OK) << "the stand-in host did not start";
  return host;
}

std::vector<std::string> FakeHostTest::Journal() const {
  std::ifstream file(std::filesystem::path(journalPath_), std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(file, line)) lines.push_back(line);
  return lines;
}

std::vector<std::string> FakeHostTest::NewJournalLines() {
  std::vector<std::string> all = Journal();
  std::vector<std::string> fresh(all.begin() + std::min(linesSeen_, all.size()), all.end());
  linesSeen_ = all.size();
  return fresh;
}

namespace {

struct WindowQuery {
  DWORD processId;
  const wchar_t* className;
  std::wstring title;
  HWND found = nullptr;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
  auto* query = reinterpret_cast<WindowQuery*>(context);
  wchar_t className[256] = {};
  GetClassNameW(window, className, 256);
  if (WindowProcess(window) != query->processId || query->className != std::wstring(className) ||
      TitleOf(window) != query->title) {
    return TRUE;
  }
  query->found = window;
  return FALSE;
}

}  // namespace

HWND FindProcessWindow(DWORD processId, const wchar_t* className, const std::wstring& title) {
  WindowQuery query{processId, className, title};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

DWORD WindowProcess(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  return processId;
}

std::wstring TitleOf(HWND window) {
  wchar_t title[512] = {};
  GetWindowTextW(window, title, 512);
  return title;
}

std::string Quoted(const std::wstring& text) {
  std::string out = "\"";
  for (char c : Utf16ToUtf8(FromWide(text))) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}
