// The workbook collection. Opening a loader workbook does what the loader's open macro
// does in the real host, when its macro source says so: it loads the add-in from the
// workbook's folder and calls its export with the application object. Any other workbook
// stays open (workbook_win.cpp).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "testkit/common/journal_win.h"
#include "testkit/fakehost/dispatch_object_win.h"
#include "testkit/fakehost/host_objects_win.h"
#include "testkit/fakehost/host_state_win.h"
#include "testkit/fakehost/loader_macro_check_win.h"
#include "testkit/fakehost/user_host_win.h"
#include "testkit/fakehost/workbook_password_win.h"

namespace {

constexpr HRESULT kHostError = 0x800A03EC;  // the host's general automation error
constexpr HRESULT kHostBusy = 0x800AC472;   // the host cannot take calls just now
constexpr UINT kMaxOpenArgs = 15;
constexpr wchar_t kAddInName[] = L"pelkostub.dll";
constexpr int kAddInStartCode = 1170;
constexpr UINT kAmsiExitCode = 0xC0000409;  // how Office's own end of the process shows

using AddInEntry = int(WINAPI*)(int code, void* application, void* reserved);

bool EndsWithLoaderExtension(const std::wstring& path) {
  constexpr std::wstring_view kExtension = L".xls";
  if (path.size() < kExtension.size()) return false;
  std::wstring tail = path.substr(path.size() - kExtension.size());
  return CompareStringOrdinal(tail.c_str(), -1, kExtension.data(), -1, TRUE) == CSTR_EQUAL;
}

bool IsFile(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The CRC-32 of zlib and PNG (reflected polynomial 0xEDB88320) of a whole file; 0 when
// it cannot be read.
uint32_t FileCrc32(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  uint32_t crc = 0xFFFFFFFFu;
  unsigned char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    for (DWORD i = 0; i < got; ++i) {
      crc ^= buffer[i];
      for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
  }
  CloseHandle(file);
  return ~crc;
}

// folder "<name>" <size> and crc "<name>" <CRC-32>, for every file of the folder, by name.
void JournalFolder(const std::wstring& folder) {
  std::vector<std::pair<std::wstring, unsigned long long>> files;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    files.emplace_back(found.cFileName, (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(files.begin(), files.end());
  for (const auto& [name, size] : files) {
    Host().journal.Write("folder " + QuoteText(std::wstring_view(name)) + " " + std::to_string(size));
    char crc[9] = {};
    std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(FileCrc32(folder + name)));
    Host().journal.Write("crc " + QuoteText(std::wstring_view(name)) + " " + crc);
  }
}

// The add-in as the macro's declarations reach it. For a LoadLibraryA declaration VBA hands
// the path over in the ANSI code page, so a character outside it arrives as '?' and the file
// is not found; LoadLibraryW gets the path as it is. DummyFunc9 is then looked up by its file
// name alone, which finds only a module already loaded: neither the host's folder nor its
// current folder is the workspace.
HMODULE LoadAddIn(const std::wstring& addIn, AddInLoad load) {
  if (load == AddInLoad::kWidePath) return LoadLibraryW(addIn.c_str());
  if (load == AddInLoad::kAnsiPath) {
    int size = WideCharToMultiByte(CP_ACP, 0, addIn.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string ansi(size > 0 ? size : 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, addIn.c_str(), -1, ansi.data(), size, nullptr, nullptr);
    return LoadLibraryA(ansi.c_str());
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

// Whether the host ran the loader's open macro, which closes the loader in its end.
enum class MacroRun { kRan, kNotRun };

// macros=disabled|noVba: the loader's macro does not run and the loader stays open, as
// under the policy "VBA Macro Notification Settings" at "disable all" or "only digitally
// signed" for an unsigned project (with Automation Security at "use the application's
// setting", the level applies to files opened through automation), or with VBA turned
// off for Office.
MacroRun MacroPolicy(HostState& host) {
  const std::wstring macros = host.scenario.Text("macros", L"run");
  if (macros == L"disabled") {
    host.journal.Write("macro not run \"disabled\"");
    return MacroRun::kNotRun;
  }
  if (macros == L"noVba") {
    host.journal.Write("macro not run \"no vba\"");
    return MacroRun::kNotRun;
  }
  return MacroRun::kRan;
}

// loader <result of the export>, or loader error <Windows error> when the add-in or its
// export cannot be loaded. Under the policies of the scenario the macro does not run at
// all, its Declare calls fail (and On Error Resume Next carries it on to its end), or the
// antivirus's scan of its Win32 calls has Office end the process.
MacroRun RunLoaderMacro(const std::wstring& workbookPath) {
  std::wstring folder = workbookPath.substr(0, workbookPath.find_last_of(L"\\/") + 1);
  std::wstring addIn = folder + kAddInName;
  if (!IsFile(addIn)) return MacroRun::kRan;
  JournalFolder(folder);
  HostState& host = Host();
  if (MacroPolicy(host) == MacroRun::kNotRun) return MacroRun::kNotRun;
  const LoaderMacro macro = ReadLoaderMacro(workbookPath);
  if (!macro.startsAddIn) return MacroRun::kRan;
  // amsi=end: the runtime scan judges the macro's Win32 calls malicious; Office ends.
  if (host.scenario.Text("amsi", L"") == L"end") {
    host.journal.Write("amsi ended the host");
    TerminateProcess(GetCurrentProcess(), kAmsiExitCode);
  }
  // blockWin32Calls=1: the attack surface reduction rule "Block Win32 API calls from
  // Office macros" fails every call of a Declare'd function.
  if (host.scenario.Number("blockWin32Calls", 0) != 0) {
    host.journal.Write("declare blocked");
    return MacroRun::kRan;
  }
  HMODULE module = LoadAddIn(addIn, macro.load);
  auto entry = module ? reinterpret_cast<AddInEntry>(reinterpret_cast<void*>(GetProcAddress(module, "DummyFunc9")))
                      : nullptr;
  if (!entry) {
    host.journal.Write("loader error " + std::to_string(GetLastError()));
    return MacroRun::kRan;
  }
  int result = entry(kAddInStartCode, InProcessApplication(), nullptr);
  host.journal.Write("loader " + std::to_string(result));
  return MacroRun::kRan;
}

// fileBlock=xls: the File Block setting for "Excel 97-2003 workbooks and templates" set
// to "open and save blocked": the loader, a BIFF8 workbook, is refused with the
// Trust Center's message.
bool LoaderFileBlocked(const HostState& host) { return host.scenario.Text("fileBlock", L"") == L"xls"; }

// The stand-in's own number for Add, which clients find by name.
constexpr DISPID kAddDispid = 3902;

class Workbooks : public DispatchObject {
 protected:
  DISPID MemberByName(const std::wstring& name) override {
    return _wcsicmp(name.c_str(), L"Add") == 0 ? kAddDispid : DISPID_UNKNOWN;
  }

  HRESULT Member(DISPID dispid, const DispatchCall& call) override {
    switch (dispid) {
      case kAddDispid:  // Add([Template])
        if (!(call.flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        if (call.params->cArgs > 1) return DISP_E_BADPARAMCOUNT;
        ReturnObject(call, NewAddedWorkbook());
        return S_OK;
      case 682:  // Open(Filename, fourteen optional arguments)
        return Open(call);
      case 118:  // Count
        if (HRESULT hr = CheckGet(call); FAILED(hr)) return hr;
        ReturnI4(call, static_cast<LONG>(Host().openWorkbooks.size()));
        return S_OK;
      case 277:  // Close
        if (HRESULT hr = CheckMethod(call); FAILED(hr)) return hr;
        CloseAllWorkbooks();
        return S_OK;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  HRESULT Open(const DispatchCall& call) {
    const DISPPARAMS& params = *call.params;
    if (!(call.flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    if (params.cArgs < 1 || params.cArgs > kMaxOpenArgs) return DISP_E_BADPARAMCOUNT;
    if (params.cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    VARIANT name;
    VariantInit(&name);
    if (FAILED(VariantChangeType(&name, &params.rgvarg[params.cArgs - 1], 0, VT_BSTR))) return DISP_E_TYPEMISMATCH;
    std::wstring path(name.bstrVal ? name.bstrVal : L"", SysStringLen(name.bstrVal));
    VariantClear(&name);

    HostState& host = Host();
    // open "<path>" <milliseconds since the system started>
    host.journal.Write("open " + QuoteText(std::wstring_view(path)) + " " + std::to_string(GetTickCount()));
    if (host.opensUnderWay > 0) host.journal.Write("nested open");
    if (host.scenario.Number("rejectOpen", 0) != 0 || !IsFile(path)) {
      return Raise(kHostError, L"The workbook '" + path + L"' cannot be opened.");
    }
    if (EndsWithLoaderExtension(path)) {
      StartUserHost(host);
      if (LoaderFileBlocked(host)) {
        return Raise(kHostError, L"You are attempting to open a file type (Excel 97-2003 Workbooks and Templates) "
                                 L"that has been blocked by your File Block settings in the Trust Center.");
      }
      const bool closedByMacro = RunLoaderMacro(path) == MacroRun::kRan;
      ReturnObject(call, closedByMacro ? NewWorkbook(std::wstring()) : NewKeptLoader(path));
      return S_OK;
    }
    // busyOpens=<n>: the first n opens of a workbook find the host busy, as while a cell
    // is being edited; rejectWorkbook=1: every workbook but the loader is refused.
    // userOpens with userOpensAt=busy: the user opens a workbook of their own while the
    // host keeps the application waiting.
    if (host.busyOpensLeft > 0) {
      --host.busyOpensLeft;
      if (host.scenario.Text("userOpensAt", L"") == L"busy") OpenAsUser();
      return Raise(kHostBusy, L"Microsoft Excel is busy.");
    }
    if (host.scenario.Number("rejectWorkbook", 0) != 0) {
      return Raise(kHostError, L"The file format or file extension of '" + path + L"' is not valid.");
    }
    // Password is the fifth argument; arguments arrive last first.
    const VARIANT* password = params.cArgs >= 5 ? &params.rgvarg[params.cArgs - 5] : nullptr;
    const PasswordCheck check = CheckWorkbookPassword(path, password);
    if (check != PasswordCheck::kNotEncrypted) host.journal.Write(std::string("password ") + PasswordCheckName(check));
    if (check != PasswordCheck::kNotEncrypted && check != PasswordCheck::kRight) {
      return Raise(kHostError, L"The password you supplied is not correct. Verify that the CAPS LOCK key is off "
                               L"and be sure to use the correct capitalization.");
    }
    std::u16string secret;
    if (check == PasswordCheck::kRight) {
      secret.assign(reinterpret_cast<const char16_t*>(password->bstrVal), SysStringLen(password->bstrVal));
    }
    IDispatch* workbook = NewWorkbook(path, secret);
    // openMacroBox=<text>: the workbook's open macro shows a box, whose modal loop
    // dispatches the thread's messages (timers among them) before Open returns. An open
    // that starts meanwhile is journaled as nested.
    if (auto text = host.scenario.Find("openMacroBox")) {
      host.journal.Write("macro box");
      ++host.opensUnderWay;
      MessageBoxW(host.mainWindow, text->c_str(), L"Open macro", MB_OK);
      --host.opensUnderWay;
      host.journal.Write("macro box closed");
    }
    ReturnObject(call, workbook);
    return S_OK;
  }
};

}  // namespace

IDispatch* NewWorkbooks() { return new Workbooks(); }
