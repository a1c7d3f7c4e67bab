#include "core/payload/saved_state_load_win.h"

#include "core/win/current_user_win.h"
#include "core/win/owned_file_win.h"
#include "core/win/wide_win.h"
#include "core/payload/item_ids.h"
#include "core/payload/resources_win.h"
#include "core/payload/saved_state.h"
#include "core/payload/saved_state_carry_win.h"
#include "core/payload/saved_state_location_win.h"

void LoadSettingsRecord(HMODULE module, const std::wstring& exePath, std::string& blob, AppSettings& settings,
                        std::string& workbook, std::wstring* statePath, const UpdateQuestion* question) {
  LoadPackedItem(module, ItemId::kSettings, blob);
  ParseAppSettings(blob, settings);
  if (!(settings.optionFlags() & OPT_SAVED_STATE)) return;
  try {
    const SavedStatePlace place = DecideSavedStatePlace(module, exePath);
    if (statePath) *statePath = place.writePath;
    // Only the launcher carries a recovered state in: it reads the settings first, and the
    // runtime then finds the state where the launcher left it.
    const std::wstring readPath = StateToRead(place.writePath, place.readPath, settings.settingsMagic(), question != nullptr);
    if (readPath.empty()) return;
    // Checked and read through one handle: a state beside the executable is trusted
    // only as the current user's, and its name may be pointed elsewhere between two opens.
    const std::optional<std::string> bytes = ReadOwnedFile(readPath, CurrentUser());
    if (!bytes) return;
    auto saved = ParseSavedState(*bytes, settings.settingsMagic());
    if (!saved) return;
    UseSavedState(module, readPath, std::move(*saved), blob, settings, workbook, question);
  } catch (...) {
    // A saved state that cannot be read leaves the executable's own items in use.
  }
}
