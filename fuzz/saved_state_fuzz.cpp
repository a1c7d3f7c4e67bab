// The saved-state file beside the executable: anyone who can write that folder can put
// anything there. Header check, sections, then the settings and workbook it carries,
// taken the way the launch takes them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "core/payload/app_settings.h"
#include "core/payload/packed_item.h"
#include "core/payload/saved_state.h"
#include "core/encoding/utf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);

  const std::string why = CheckSavedStateHeader(file.substr(0, kSavedStateHeaderSize), file.size(), kSettingsMagic);
  std::string reason;
  const std::optional<SavedState> state = ParseSavedState(file, kSettingsMagic, &reason);
  FUZZ_CHECK(state.has_value() == reason.empty());
  if (!why.empty()) FUZZ_CHECK(!state);
  if (!state) return 0;

  FUZZ_CHECK(!state->settings.empty());
  FUZZ_CHECK(state->nameText.size() <= 1023);
  FUZZ_CHECK(kSavedStateHeaderSize + state->settings.size() + state->workbook.size() + state->extra.size() <= size);

  // The executable's own record first, then the file's over it.
  AppSettings settings;
  std::string own = WriteAppSettings(AppSettingsRecord{});
  ParseAppSettings(own, settings);
  std::string blob = state->settings;
  ParseAppSettings(blob, settings);

  std::string workbook = state->workbook;
  InflatePackedItem(workbook);
  HasWorkbookMarker(workbook);

  SavedStatePath(Utf16LeBytesToString(file.substr(0, 64)));
  return 0;
}
