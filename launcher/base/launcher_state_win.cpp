#include "launcher/base/launcher_state_win.h"

#include <ctime>
#include <cstdlib>

#include "core/win/wide_win.h"
#include "core/text/message_texts.h"
#include "launcher/base/macro_sources_win.h"

LauncherState::LauncherState()
    : macros(std::make_unique<MacroExpander>(ToAnsiCodePage)),
      overrides(std::make_unique<TextOverrideTable>()) {
  CoInitialize(nullptr);
  SeedRandomGenerator();
}

LauncherState::~LauncherState() {
  if (shutdownAtExit) shutdownAtExit();
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
