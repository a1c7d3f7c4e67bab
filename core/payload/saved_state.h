#pragma once
// The saved-state file beside the executable ("App.vstg" for "App.exe"): written by
// the runtime add-in, it carries the application's current settings record and
// workbook, which replace the executable's own when the file is valid.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

constexpr uint32_t kSavedStateMagic = 0x48535651;  // "QVSH"
constexpr uint32_t kSavedStateHeaderSize = 40;

struct SavedState {
  std::string nameText;  // up to its first zero byte, at most 1023 bytes
  std::string settings;  // an AppSettings record, packed or plain
  std::string workbook;  // workbook marker + spreadsheet file, packed or plain
  std::string extra;
};

// The launcher's path with only its last extension replaced by "vstg".
std::u16string SavedStatePath(std::u16string_view launcherPath);

// Where an application keeps its saved state (item 1220; absent: the user's own folder).
enum class SavedStateLocation { kUser, kBeside };
SavedStateLocation ParseSavedStateLocation(std::string_view item);
// What item 1220 holds for a location; empty for the default, which needs no item.
std::string SavedStateLocationItem(SavedStateLocation location);

// The name of the state file in the user's own folder: the launcher's file name without
// its last extension, a hyphen, eight hex digits of a hash of `upperCasedPath` (the
// launcher's full path, upper-cased as the file system compares names) and ".vstg", so
// that two installed copies of one application keep two states.
std::u16string PerUserSavedStateName(std::u16string_view launcherPath, std::u16string_view upperCasedPath);

// The check value a file must carry for records whose settings magic is `settingsMagic`.
uint32_t SavedStateCheckValue(uint32_t settingsMagic);

// Why a file with this 40-byte header and size is not valid, or empty when it is.
std::string CheckSavedStateHeader(std::string_view header, uint64_t fileSize, uint32_t settingsMagic);

// The sections of a whole file, or nullopt (with the reason) when it is not valid.
std::optional<SavedState> ParseSavedState(std::string_view file, uint32_t settingsMagic, std::string* reason = nullptr);

// Writes a file that ParseSavedState accepts for `settingsMagic`.
std::string WriteSavedState(const SavedState& state, uint32_t settingsMagic);

// The state a save of the workbook gives: `workbookFile` (the spreadsheet file as on disk)
// behind the workbook marker, packed; the settings record the run uses; its file name
// `fileName`; and `workbookDigest` (the build's item 1250) as the extra section. The
// runtime writes it at every save, and the launcher when it carries a dead run's work.
std::string WorkbookSavedState(std::string_view workbookFile, std::u16string_view fileName,
                               const std::string& settings, const std::string& workbookDigest,
                               uint32_t settingsMagic);

// The spreadsheet file a workbook item or section holds (packed or plain, behind the
// marker); empty when it holds none.
std::string WorkbookFileOf(std::string item);
