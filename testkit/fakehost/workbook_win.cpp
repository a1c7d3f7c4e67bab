// A workbook the host has open, and what the user does with it. The object stays valid
// only while its workbook is open: afterwards every member fails, as the host's do.
#include <cstdint>
#include <string>

#include "testkit/common/journal_win.h"
#include "testkit/fakehost/dispatch_object_win.h"
#include "testkit/fakehost/host_objects_win.h"
#include "testkit/fakehost/host_state_win.h"
#include "testkit/fakehost/host_window_win.h"
#include "testkit/fakehost/responsiveness_probe_win.h"
#include "testkit/fakehost/session_end_win.h"
#include "testkit/fakehost/workbook_pane_win.h"
#include "testkit/fakehost/workbook_password_win.h"

namespace {

constexpr HRESULT kObjectGone = 0x800A01A8;  // the host's "object required"
constexpr HRESULT kHostError = 0x800A03EC;  // the host's general automation error
constexpr UINT kMaxCloseArgs = 3;             // SaveChanges, Filename, RouteWorkbook
constexpr DWORD kDefaultUserDelayMs = 1000;

HostState::OpenWorkbook* FindOpen(int id) {
  for (auto& workbook : Host().openWorkbooks) {
    if (workbook.id == id) return &workbook;
  }
  return nullptr;
}

// windowPerWorkbook=1: a workbook's window goes with it while another main window stays,
// as from version 15 on; the host's process and its other windows go on.
void CloseWorkbookWindow(HWND window) {
  HostState& host = Host();
  if (!window) return;
  for (const auto& other : host.openWorkbooks) {
    if (other.window == window) return;  // still showing another workbook
  }
  HWND remaining = nullptr;
  for (const auto& other : host.openWorkbooks) remaining = remaining ? remaining : other.window;
  if (!remaining) {
    for (HWND extra : host.workbookWindows) remaining = (extra != window && IsWindow(extra)) ? extra : remaining;
  }
  if (!remaining) return;  // the last main window stays, empty
  if (host.mainWindow == window) host.mainWindow = remaining;
  if (host.activeWindow == window) host.activeWindow = remaining;
  host.journal.Write("window destroyed");
  DestroyWindow(window);
}

void CloseWorkbook(int id, const char* by) {
  auto& open = Host().openWorkbooks;
  for (auto it = open.begin(); it != open.end(); ++it) {
    if (it->id != id) continue;
    Host().journal.Write(std::string("close ") + by + " " + QuoteText(std::wstring_view(it->path)));
    HWND window = it->window;
    if (it->file) CloseHandle(it->file);
    if (it->pane) DestroyWindow(it->pane);
    open.erase(it);
    CloseWorkbookWindow(window);
    return;
  }
}

// The window a new workbook shows in: without windowPerWorkbook the main window; with it
// the main window while that shows none, else a new main window of its own.
HWND WindowForNewWorkbook() {
  HostState& host = Host();
  if (host.scenario.Number("windowPerWorkbook", 0) == 0) return nullptr;
  bool mainInUse = false;
  for (const auto& other : host.openWorkbooks) mainInUse = mainInUse || other.window == host.mainWindow;
  HWND window = mainInUse ? CreateWorkbookWindow(host) : host.mainWindow;
  host.activeWindow = window;
  return window;
}

// Puts a workbook on the host's list, in the window it shows in, with its pane there;
// returns its id.
int AddOpenWorkbook(const std::wstring& path, const std::u16string& password = {}, HANDLE file = nullptr) {
  HostState& host = Host();
  HostState::OpenWorkbook workbook{host.nextWorkbookId++, path, true, WindowForNewWorkbook(), password, file};
  workbook.pane = CreateWorkbookPane(workbook.window ? workbook.window : host.mainWindow);
  workbook.savedWith = password;
  host.openWorkbooks.push_back(workbook);
  return workbook.id;
}

class Workbook : public DispatchObject {
 public:
  explicit Workbook(int id) : id_(id) {}

 protected:
  // The members the runtime finds by name, under numbers of this host's own.
  DISPID MemberByName(const std::wstring& name) override {
    static const struct {
      const wchar_t* name;
      DISPID dispid;
    } kNamed[] = {{L"FullName", 289}, {L"SaveCopyAs", 175}, {L"Save", 283}, {L"Password", kWorkbookPasswordDispid}};
    for (const auto& member : kNamed) {
      if (_wcsicmp(name.c_str(), member.name) == 0) return member.dispid;
    }
    return DISPID_UNKNOWN;
  }

  HRESULT Member(DISPID dispid, const DispatchCall& call) override {
    if (id_ == 0) return DISP_E_MEMBERNOTFOUND;  // the loader: closed by its own macro
    HostState::OpenWorkbook* workbook = FindOpen(id_);
    if (!workbook) return Raise(kObjectGone, L"Object required");
    switch (dispid) {
      case 277: {  // Close([SaveChanges], [Filename], [RouteWorkbook])
        if (!(call.flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        if (call.params->cArgs > kMaxCloseArgs) return DISP_E_BADPARAMCOUNT;
        if (call.params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
        CloseWorkbook(id_, "method");
        return S_OK;
      }
      case 298:  // Saved
        if (call.flags & DISPATCH_PROPERTYPUT) {
          VARIANT value;
          if (HRESULT hr = TakePut(call, VT_BOOL, value); FAILED(hr)) return hr;
          workbook->saved = value.boolVal != VARIANT_FALSE;
          return S_OK;
        }
        if (HRESULT hr = CheckGet(call); FAILED(hr)) return hr;
        ReturnBool(call, workbook->saved);
        return S_OK;
      case 289:  // FullName
        if (HRESULT hr = CheckGet(call); FAILED(hr)) return hr;
        ReturnBstr(call, workbook->webAddress.empty() ? workbook->path : workbook->webAddress);
        return S_OK;
      case 175:  // SaveCopyAs(Filename): the workbook as it is, written elsewhere; it keeps its name
        return SaveCopyAs(*workbook, call);
      case 283: {  // Save: with the password it has now (none: in the clear)
        if (HRESULT hr = CheckMethod(call); FAILED(hr)) return hr;
        NoteHostSaving(true);
        const long long size = SaveWithPassword(workbook->path, workbook->savedWith, workbook->password, {});
        NoteHostSaving(false);
        if (size < 0) return Raise(kHostError, L"Cannot access the file " + workbook->path + L".");
        workbook->savedWith = workbook->password;
        workbook->saved = true;
        Host().journal.Write("save " + QuoteText(std::wstring_view(workbook->path)) + " " + std::to_string(size) +
                             (workbook->password.empty() ? " clear" : " encrypted"));
        return S_OK;
      }
      case kWorkbookPasswordDispid: {  // Password: the one the next save encrypts with; journal never the password
        if (!(call.flags & DISPATCH_PROPERTYPUT)) return DISP_E_MEMBERNOTFOUND;
        VARIANT value;
        if (HRESULT hr = TakePut(call, VT_BSTR, value); FAILED(hr)) return hr;
        workbook->password.assign(reinterpret_cast<const char16_t*>(value.bstrVal), SysStringLen(value.bstrVal));
        VariantClear(&value);
        Host().journal.Write(workbook->password.empty() ? "password put empty" : "password put");
        return S_OK;
      }
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  HRESULT SaveCopyAs(const HostState::OpenWorkbook& workbook, const DispatchCall& call) {
    if (!(call.flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    if (call.params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
    VARIANT name;
    VariantInit(&name);
    if (FAILED(VariantChangeType(&name, &call.params->rgvarg[0], 0, VT_BSTR))) return DISP_E_TYPEMISMATCH;
    const std::wstring target(name.bstrVal, SysStringLen(name.bstrVal));
    VariantClear(&name);
    Host().journal.Write("save copy " + QuoteText(std::wstring_view(target)));
    if (!CopyFileW(workbook.path.c_str(), target.c_str(), FALSE)) {
      return Raise(kHostError, L"Cannot access the file " + target + L".");
    }
    return S_OK;
  }

  int id_;
};

// userSaveSize=<bytes>: each of the user's saves makes the workbook that much larger, with
// bytes that do not compress (as a package's deflated parts): a large workbook's slow save.
void AppendLargeContent(HANDLE file, long long size) {
  std::string chunk(1 << 20, '\0');
  uint32_t seed = 0x9E3779B9u;
  while (size > 0) {
    for (char& byte : chunk) {
      seed ^= seed << 13;
      seed ^= seed >> 17;
      seed ^= seed << 5;
      byte = static_cast<char>(seed);
    }
    const DWORD part = static_cast<DWORD>(size < static_cast<long long>(chunk.size()) ? size : chunk.size());
    DWORD written = 0;
    if (!WriteFile(file, chunk.data(), part, &written, nullptr)) return;
    size -= part;
  }
}

// userSave=<text>: before closing, the user saves: the text is appended to the file.
// userClearsPassword=<n>: before their n-th save (counting every save of theirs) the user
// removes the workbook's password (File, Info, Protect Workbook), and the host saves it in
// the clear from then on.
void SaveAsUser(HostState::OpenWorkbook& workbook, const std::wstring& suffix = std::wstring()) {
  HostState& host = Host();
  auto found = host.scenario.Find("userSave");
  if (!found) return;
  workbook.saved = true;
  std::wstring text = *found + suffix;
  if (++host.userSaveCount == host.scenario.Number("userClearsPassword", 0) && !workbook.password.empty()) {
    workbook.password.clear();
    host.journal.Write("user clears password");
  }
  if (!workbook.password.empty() || !workbook.savedWith.empty()) {
    NoteHostSaving(true);
    const long long size =
        SaveWithPassword(workbook.path, workbook.savedWith, workbook.password, std::string(text.begin(), text.end()));
    NoteHostSaving(false);
    workbook.savedWith = workbook.password;
    host.journal.Write("user save " + QuoteText(std::wstring_view(workbook.path)) + " " + std::to_string(size));
    return;
  }
  HANDLE file = CreateFileW(workbook.path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  NoteHostSaving(true);
  std::string bytes(text.begin(), text.end());
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  AppendLargeContent(file, host.scenario.Number("userSaveSize", 0));
  NoteHostSaving(false);
  LARGE_INTEGER size{};
  GetFileSizeEx(file, &size);
  CloseHandle(file);
  Host().journal.Write("user save " + QuoteText(std::wstring_view(workbook.path)) + " " +
                       std::to_string(size.QuadPart));
}

HostState::OpenWorkbook* PackagedWorkbook() {
  HostState& host = Host();
  for (auto& workbook : host.openWorkbooks) {
    if (workbook.id == host.packagedId) return &workbook;
  }
  return host.openWorkbooks.empty() ? nullptr : &host.openWorkbooks.back();
}

void CALLBACK ActAsUser(HWND window, UINT, UINT_PTR timer, DWORD) {
  KillTimer(window, timer);
  HostState& host = Host();
  HostState::OpenWorkbook* found = PackagedWorkbook();
  if (!found) return;
  StopResponsivenessProbe(host);
  if (host.scenario.Number("userSavesAtClose", 1) != 0) SaveAsUser(*found);
  HostState::OpenWorkbook workbook = *found;
  if (host.scenario.Text("userCloses", L"") == L"workbook") {
    CloseWorkbook(workbook.id, "user");
  } else {
    host.journal.Write("user close window");
    PostMessageW(host.mainWindow, WM_CLOSE, 0, 0);
  }
}

// dieAfterSave=host|session: right after the last of the user's saves, before any other
// code of the process runs, the host is killed, or every process of the session is ended.
void EndRightAfterTheLastSave(HostState& host) {
  const std::wstring how = host.scenario.Text("dieAfterSave", L"");
  if (how == L"session") EndEveryProcessOfTheSession(host);
  if (how != L"host") return;
  host.journal.Write("died");
  TerminateProcess(GetCurrentProcess(), 9);
}

void CALLBACK SaveAfterEdit(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  HostState& host = Host();
  if (HostState::OpenWorkbook* workbook = PackagedWorkbook()) {
    SaveAsUser(*workbook, L" " + std::to_wstring(host.editedSaveNumber));
  }
  if (host.userSavesLeft <= 0) EndRightAfterTheLastSave(host);
}

// userSaves=<n>: the user saves the workbook n times, userSaveEvery milliseconds apart,
// each save appending userSave and its number. userEditsFor=<ms>: each save comes that
// long after an edit, with the workbook unsaved (Saved false) meanwhile.
void CALLBACK SaveAgain(HWND window, UINT, UINT_PTR timer, DWORD) {
  HostState& host = Host();
  HostState::OpenWorkbook* workbook = PackagedWorkbook();
  if (!workbook || host.userSavesLeft <= 0) {
    KillTimer(window, timer);
    return;
  }
  long long number = host.scenario.Number("userSaves", 0) - --host.userSavesLeft;
  const long long editing = host.scenario.Number("userEditsFor", 0);
  if (editing > 0) {
    workbook->saved = false;
    host.journal.Write("user edit");
    host.editedSaveNumber = number;
    SetTimer(nullptr, 0, static_cast<UINT>(editing), SaveAfterEdit);
  } else {
    SaveAsUser(*workbook, L" " + std::to_wstring(number));
  }
  if (host.userSavesLeft > 0) return;
  KillTimer(window, timer);
  // After an edit the last save is still to come: SaveAfterEdit ends the host then.
  if (editing <= 0) EndRightAfterTheLastSave(host);
}

// userSaveAs=<Windows path or web address>, userSaveAsAt=<ms>: that long after the open
// the user saves the workbook under another name (File, Save As; the save appends userSave
// and " as"); from then on the host saves it there. A web address is a save to the cloud
// with AutoSave on: FullName answers the address, and the host keeps its copy in
// cloudFolder under the address's last name, which no one else reads.
void CALLBACK SaveAsElsewhere(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  HostState& host = Host();
  HostState::OpenWorkbook* workbook = PackagedWorkbook();
  auto target = host.scenario.Find("userSaveAs");
  if (!workbook || !target) return;
  const bool web = target->find(L"://") != std::wstring::npos;
  const std::wstring file =
      web ? host.scenario.Text("cloudFolder", L"") + L"\\" + target->substr(target->find_last_of(L'/') + 1) : *target;
  if (!CopyFileW(workbook->path.c_str(), file.c_str(), FALSE)) {
    host.journal.Write("user save as failed " + QuoteText(std::wstring_view(file)));
    return;
  }
  host.journal.Write("user save as " + QuoteText(std::wstring_view(*target)));
  workbook->path = file;
  workbook->webAddress = web ? *target : std::wstring();
  SaveAsUser(*workbook, L" as");
}

// userQuitsAfter=<ms>: that long after the user opened a workbook of their own, they close
// the host (every workbook goes and the host ends). The journal first says whether the
// packaged workbook's file is still there.
void CALLBACK QuitAsUser(HWND window, UINT, UINT_PTR timer, DWORD) {
  KillTimer(window, timer);
  HostState& host = Host();
  if (!host.packagedPath.empty()) {
    DWORD attributes = GetFileAttributesW(host.packagedPath.c_str());
    host.journal.Write("exists " + QuoteText(std::wstring_view(host.packagedPath)) + " " +
                       (attributes == INVALID_FILE_ATTRIBUTES ? "0" : "1"));
  }
  host.journal.Write("user close window");
  PostMessageW(host.mainWindow, WM_CLOSE, 0, 0);
}

void CALLBACK OpenAsUserOnTimer(HWND window, UINT, UINT_PTR timer, DWORD) {
  KillTimer(window, timer);
  OpenAsUser();
}

// The host dies as a crashed or killed one does: nothing of it runs any more.
void CALLBACK Die(HWND, UINT, UINT_PTR, DWORD) {
  Host().journal.Write("died");
  TerminateProcess(GetCurrentProcess(), 9);
}

}  // namespace

IDispatch* NewWorkbook(const std::wstring& path, const std::u16string& password) {
  if (path.empty()) return new Workbook(0);
  HostState& host = Host();
  int id = AddOpenWorkbook(path, password);
  host.packagedId = id;
  host.packagedPath = path;
  // The user's timers are the thread's: the window they would sit on may go.
  // userCloses=workbook|window: userDelay milliseconds after the open the user closes the
  // workbook, or the host's main window (which closes every workbook).
  if (host.scenario.Find("userCloses")) {
    long long delay = host.scenario.Number("userDelay", kDefaultUserDelayMs);
    SetTimer(nullptr, 0, static_cast<UINT>(delay), ActAsUser);
  }
  if (host.userSavesLeft > 0) {
    SetTimer(nullptr, 0, static_cast<UINT>(host.scenario.Number("userSaveEvery", 800)), SaveAgain);
  }
  if (long long at = host.scenario.Number("userSaveAsAt", -1); at >= 0) {
    SetTimer(nullptr, 0, static_cast<UINT>(at), SaveAsElsewhere);
  }
  // userOpens=<path>, userOpensAt=<ms>: that long after this open the user opens a workbook
  // of their own (userOpensAt=busy: at the first busy answer, workbooks_win.cpp).
  if (long long at = host.scenario.Number("userOpensAt", -1); at >= 0) {
    SetTimer(nullptr, 0, static_cast<UINT>(at), OpenAsUserOnTimer);
  }
  // dieAfterOpen=<ms>: the host process is killed that long after the open.
  long long dieDelay = host.scenario.Number("dieAfterOpen", -1);
  if (dieDelay >= 0) SetTimer(nullptr, 0, static_cast<UINT>(dieDelay), Die);
  ScheduleSessionEnd(host);
  StartResponsivenessProbe(host);
  return new Workbook(id);
}

IDispatch* NewKeptLoader(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  int id = AddOpenWorkbook(path, {}, file == INVALID_HANDLE_VALUE ? nullptr : file);
  Host().journal.Write("loader kept open");
  return new Workbook(id);
}

IDispatch* NewAddedWorkbook() {
  HostState& host = Host();
  const std::wstring name = L"Book" + std::to_wstring(++host.addedWorkbooks);
  int id = AddOpenWorkbook(name);
  host.journal.Write("add " + QuoteText(std::wstring_view(name)));
  return new Workbook(id);
}

void OpenAsUser() {
  HostState& host = Host();
  auto path = host.scenario.Find("userOpens");
  if (!path || host.ownWorkbookOpened) return;
  host.ownWorkbookOpened = true;
  AddOpenWorkbook(*path);
  host.journal.Write("user open " + QuoteText(std::wstring_view(*path)));
  if (long long after = host.scenario.Number("userQuitsAfter", -1); after >= 0) {
    SetTimer(nullptr, 0, static_cast<UINT>(after), QuitAsUser);
  }
}

void SaveAtPrompt() {
  if (HostState::OpenWorkbook* workbook = PackagedWorkbook()) SaveAsUser(*workbook, L" at the prompt");
}

void CloseAllWorkbooks() {
  while (!Host().openWorkbooks.empty()) CloseWorkbook(Host().openWorkbooks.front().id, "all");
}
