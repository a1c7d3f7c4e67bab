#include "launcher/app/launcher_state_win.h"

#include <ctime>
#include <cstdlib>

#include "launcher/app/shutdown_win.h"
#include "launcher/app/wide_win.h"
#include "launcher/payload/message_texts.h"
#include "launcher/ui/macro_sources_win.h"

LauncherState::LauncherState()
    : macros(std::make_unique<MacroExpander>(ToAnsiCodePage)),
      overrides(std::make_unique<TextOverrideTable>()) {
  CoInitialize(nullptr);
  SeedRandomGenerator();
}

LauncherState::~LauncherState() {
  ShutdownLauncherAtExit();
  // A watcher still waiting for the resident event must not hold up or abort the exit.
  if (eventWatcher && eventWatcher->joinable()) eventWatcher->detach();
  CoUninitialize();
}

LauncherState& State() {
  static LauncherState state;
  return state;
}

std::wstring MessageText(int key, int id) { return ToWide(GetMessageText(State().TextSources(), key, id)); }

std::string MessageTextUtf8(int key, int id) { return GetMessageTextUtf8(State().TextSources(), key, id); }

std::wstring BuiltInText(int id) { return ToWide(GetText(id)); }

void SeedRandomGenerator() {
  srand(static_cast<unsigned>(static_cast<uint32_t>(time(nullptr)) ^ static_cast<uint32_t>(clock())));
}
