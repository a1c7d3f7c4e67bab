#include "launcher/app/settings_load_win.h"

#include <windows.h>
#include <shellapi.h>

#include "launcher/base/launcher_state_win.h"
#include "launcher/app/own_path_win.h"
#include "core/payload/item_ids.h"
#include "core/text/message_texts.h"
#include "core/payload/resources_win.h"
#include "core/payload/saved_state_load_win.h"
#include "launcher/base/macro_sources_win.h"
#include "launcher/ui/update_question_win.h"

namespace {

void RefreshMacros(LauncherState& state) {
  if (state.macros) state.macros->RefreshMacros(state.settings, LookUpShellFolder);
}

// One launcher per executable file: the mutex is named after its normalised path.
void TakeSingleInstanceGuard(LauncherState& state) {
  const std::wstring name = SingleInstanceMutexName(state.exePath);
  state.singleInstanceMutex.reset(CreateMutexW(nullptr, TRUE, name.c_str()));
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    throw notice4user(MessageTextUtf8(OverrideKey::kAlreadyRunning, TextId::kAlreadyRunning));
  }
}

}  // namespace

void LoadSettings(LauncherState& state) {
  const UpdateQuestion askAfterUpdate = AskAboutSavedWorkbook;
  LoadSettingsRecord(GetModuleHandleW(nullptr), state.exePath, state.settingsBlob, state.settings, state.workbookData,
                     nullptr, &askAfterUpdate);
  RefreshMacros(state);

  std::string overrides;
  if (ReadPackedItem(ItemId::kTextOverrides, overrides) && state.overrides) {
    state.overrides->LoadTextOverrides(overrides);
  }
  // Two copies of a saved-state application would each write the state they started
  // from, and the last one would win: in saved-state mode the guard is always taken.
  if (state.HasOption(OPT_SINGLE_INSTANCE) || state.HasOption(OPT_SAVED_STATE)) TakeSingleInstanceGuard(state);
  RefreshMacros(state);

  std::string answers;
  state.runtimeAnswers = LoadPackedItem(ItemId::kRuntimeAnswers, answers) && answers == "\x01";

  if (!state.testFlag) ExtractIconExW(state.exePath.c_str(), 0, &state.bigIcon, &state.smallIcon, 1);
}
