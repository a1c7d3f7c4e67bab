// A workbook the host has open, and what the user does with it. The object stays valid
// only while its workbook is open: afterwards every member fails, as the host's do.
#include <string>

#include "testkit/common/journal_win.h"
#include "testkit/fakehost/dispatch_object_win.h"
#include "testkit/fakehost/host_objects_win.h"
#include "testkit/fakehost/host_state_win.h"
#include "testkit/fakehost/workbook_password_win.h"

namespace {

constexpr HRESULT kObjectGone = 0x800A01A8;  // the host's "object required"
constexpr UINT kMaxCloseArgs = 3;             // SaveChanges, Filename, RouteWorkbook
constexpr DWORD kDefaultUserDelayMs = 1000;
constexpr UINT_PTR kUserTimer = 2;  // beside host_window_win.cpp's end timer
constexpr UINT_PTR kDieTimer = 3;

HostState::OpenWorkbook* FindOpen(int id) {
  for (auto& workbook : Host().openWorkbooks) {
    if (workbook.id == id) return &workbook;
  }
  return nullptr;
}

void CloseWorkbook(int id, const char* by) {
  auto& open = Host().openWorkbooks;
  for (auto it = open.begin(); it != open.end(); ++it) {
    if (it->id != id) continue;
    Host().journal.Write(std::string("close ") + by + " " + QuoteText(std::wstring_view(it->path)));
    open.erase(it);
    return;
  }
}

class Workbook : public DispatchObject {
 public:
  explicit Workbook(int id) : id_(id) {}

 protected:
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
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  int id_;
};

// userSave=<text>: before closing, the user saves: the text is appended to the file.
void SaveAsUser(const HostState::OpenWorkbook& workbook) {
  auto text = Host().scenario.Find("userSave");
  if (!text) return;
  if (!workbook.password.empty()) {
    const long long size =
        SaveEncryptedWithAppended(workbook.path, workbook.password, std::string(text->begin(), text->end()));
    Host().journal.Write("user save " + QuoteText(std::wstring_view(workbook.path)) + " " + std::to_string(size));
    return;
  }
  HANDLE file = CreateFileW(workbook.path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::string bytes(text->begin(), text->end());
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  LARGE_INTEGER size{};
  GetFileSizeEx(file, &size);
  CloseHandle(file);
  Host().journal.Write("user save " + QuoteText(std::wstring_view(workbook.path)) + " " +
                       std::to_string(size.QuadPart));
}

void CALLBACK ActAsUser(HWND window, UINT, UINT_PTR timer, DWORD) {
  KillTimer(window, timer);
  HostState& host = Host();
  if (host.openWorkbooks.empty()) return;
  HostState::OpenWorkbook workbook = host.openWorkbooks.back();
  SaveAsUser(workbook);
  if (host.scenario.Text("userCloses", L"") == L"workbook") {
    CloseWorkbook(workbook.id, "user");
  } else {
    host.journal.Write("user close window");
    PostMessageW(host.mainWindow, WM_CLOSE, 0, 0);
  }
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
  int id = host.nextWorkbookId++;
  host.openWorkbooks.push_back({id, path, true, password});
  // userCloses=workbook|window: userDelay milliseconds after the open the user closes the
  // workbook, or the host's main window (which closes every workbook).
  if (host.scenario.Find("userCloses")) {
    long long delay = host.scenario.Number("userDelay", kDefaultUserDelayMs);
    SetTimer(host.mainWindow, kUserTimer, static_cast<UINT>(delay), ActAsUser);
  }
  // dieAfterOpen=<ms>: the host process is killed that long after the open.
  long long dieDelay = host.scenario.Number("dieAfterOpen", -1);
  if (dieDelay >= 0) SetTimer(host.mainWindow, kDieTimer, static_cast<UINT>(dieDelay), Die);
  return new Workbook(id);
}

void CloseAllWorkbooks() {
  while (!Host().openWorkbooks.empty()) CloseWorkbook(Host().openWorkbooks.front().id, "all");
}
