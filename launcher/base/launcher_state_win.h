#pragma once
// LauncherState: everything the launcher owns for the whole process, in one record
// with static lifetime. Each step of the run reads and writes its own fields here.
#include <windows.h>
#include <oaidl.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "core/messages/message_text.h"
#include "core/win/scoped_win.h"
#include "core/payload/app_settings.h"
#include "core/text/text_overrides.h"
#include "core/messages/macro_expander.h"

struct LauncherState {
  LauncherState();
  ~LauncherState();
  LauncherState(const LauncherState&) = delete;
  LauncherState& operator=(const LauncherState&) = delete;

  std::wstring exeFolder;
  std::wstring exePath;
  std::wstring workspaceFolder;
  std::wstring workbookFilePath;
  std::wstring addInFilePath;
  std::wstring loaderWorkbookPath;
  std::wstring noticeTextWide;
  AppSettings settings;
  std::wstring commandLinePassword;
  std::string unpackBuffer;
  ComPtr<IDispatch> host;
  HWND hostWindow = nullptr;
  bool failed = false;
  int hostVersion = 0;
  uint32_t silentStart = 0;
  DWORD splashThreadId = 0;
  ScopedHandle splashThread;
  ScopedHandle singleInstanceMutex;
  ScopedHandle residentEvent;
  ScopedHandle hostProcess;  // saved-state mode: its end ends the resident wait
  std::unique_ptr<MacroExpander> macros;
  HICON bigIcon = nullptr;
  HICON smallIcon = nullptr;
  std::string settingsBlob;
  std::string noticeText;
  std::string workbookData;
  std::unique_ptr<TextOverrideTable> overrides;
  std::unique_ptr<std::thread> eventWatcher;
  // What ends the launcher's work when the process exits; set by the run, so that the
  // state need not know the shutdown, which works on the state.
  void (*shutdownAtExit)() = nullptr;
  std::atomic<bool> eventSeen{false};
  bool testFlag = false;
  bool runtimeAnswers = false;  // item 1260: the add-in proves its start (addin_start_win.h)
  int exitCode = 0;

  bool HasOption(uint32_t option) const { return (settings.optionFlags() & option) != 0; }
  MessageTextSources TextSources() const { return {overrides.get(), macros.get()}; }
};

// The one launcher state of the process.
LauncherState& State();

// Message texts through the launcher's own override table and macros.
std::wstring MessageText(int key, int id);
std::string MessageTextUtf8(int key, int id);
std::wstring BuiltInText(int id);

// Seeds the C random generator from the time and the processor clock.
void SeedRandomGenerator();
