#include "launcher/app/host_watch_win.h"

#include <memory>
#include <string>

#include "core/win/files_win.h"
#include "core/win/scoped_win.h"
#include "core/win/wide_win.h"
#include "launcher/app/command_line.h"
#include "launcher/base/launcher_state_win.h"

namespace {

std::wstring SystemFolder() {
  return GrownText([](wchar_t* buffer, DWORD size) { return GetSystemDirectoryW(buffer, size); }, MAX_PATH + 1);
}

// Only the one handle goes to the watcher: the list of handles to inherit keeps every
// other inheritable handle the launcher might have out of it.
class InheritOnly {
 public:
  explicit InheritOnly(HANDLE handle) : handle_(handle) {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    buffer_ = std::make_unique<unsigned char[]>(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.get());
    if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
    initialized_ = true;
    if (UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &handle_, sizeof handle_, nullptr,
                                  nullptr)) {
      list_ = list;
    }
  }
  ~InheritOnly() {
    if (initialized_) DeleteProcThreadAttributeList(reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.get()));
  }
  InheritOnly(const InheritOnly&) = delete;
  InheritOnly& operator=(const InheritOnly&) = delete;

  LPPROC_THREAD_ATTRIBUTE_LIST list() const { return list_; }

 private:
  HANDLE handle_;
  std::unique_ptr<unsigned char[]> buffer_;
  bool initialized_ = false;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

bool StartDetached(const std::wstring& program, std::wstring commandLine, HANDLE inherited) {
  InheritOnly only(inherited);
  if (!only.list()) return false;
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.lpAttributeList = only.list();
  const std::wstring folder = SystemFolder();
  // Out of the launcher's job when the job lets it go, so that a job ended with the
  // launcher does not end the wait; inside it otherwise.
  for (DWORD breakaway : {static_cast<DWORD>(CREATE_BREAKAWAY_FROM_JOB), DWORD{0}}) {
    PROCESS_INFORMATION process{};
    if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                       EXTENDED_STARTUPINFO_PRESENT | CREATE_NEW_PROCESS_GROUP | breakaway, nullptr,
                       folder.empty() ? nullptr : folder.c_str(), &startup.StartupInfo, &process)) {
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
      return true;
    }
  }
  return false;
}

}  // namespace

HANDLE OpenHostProcess(HWND hostWindow, bool inheritable) {
  if (!hostWindow) return nullptr;
  DWORD processId = 0;
  if (!GetWindowThreadProcessId(hostWindow, &processId) || processId == 0) return nullptr;
  return OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, inheritable ? TRUE : FALSE, processId);
}

bool StartHostWatcher(const LauncherState& state) {
  if (state.exePath.empty()) return false;
  ScopedHandle host(OpenHostProcess(state.hostWindow, true));
  if (!host) return false;
  const std::u16string commandLine =
      CleanupCommandLine(FromWide(state.exePath), static_cast<uint64_t>(reinterpret_cast<uintptr_t>(host.get())),
                         FromWide(state.workbookFilePath), FromWide(state.addInFilePath));
  return StartDetached(state.exePath, ToWide(commandLine), host.get());
}

bool WaitForHostProcess(uint64_t handleValue) {
  if (handleValue == 0 || handleValue > UINTPTR_MAX) return false;
  HANDLE host = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(handleValue));
  // A value typed by hand, or one naming some other kind of handle, names no process.
  if (GetProcessId(host) == 0) return false;
  const bool ended = WaitForSingleObject(host, INFINITE) == WAIT_OBJECT_0;
  CloseHandle(host);
  return ended;
}
