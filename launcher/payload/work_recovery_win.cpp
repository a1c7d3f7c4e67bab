#include "launcher/payload/work_recovery_win.h"

#include "core/payload/app_settings.h"
#include "core/payload/encrypted_workbook.h"
#include "core/payload/item_ids.h"
#include "core/payload/resources_win.h"
#include "core/payload/saved_state.h"
#include "core/payload/saved_state_carry_win.h"
#include "core/payload/saved_state_load_win.h"
#include "core/win/files_win.h"
#include "core/win/wide_win.h"

namespace {

// Whether the application keeps its workbook encrypted (it carries the workbook's key).
bool ProtectsWorkbook(HMODULE launcher) {
  std::string key;
  const bool protects = ReadPackedItem(launcher, ItemId::kWorkbookKey, key) && !key.empty();
  SecureZeroMemory(key.data(), key.size());
  return protects;
}

bool CarryWork(HMODULE launcher, const std::wstring& launcherPath, const std::wstring& workbookPath) {
  // The settings, state and place the run itself took: the state it would have written.
  std::string settingsBlob;
  AppSettings settings;
  std::string stateWorkbook;
  std::wstring statePath;
  LoadSettingsRecord(launcher, launcherPath, settingsBlob, settings, stateWorkbook, &statePath);
  if (!(settings.optionFlags() & OPT_SAVED_STATE)) return true;
  std::string workbook;
  if (!ReadWholeFile(workbookPath, workbook)) return !IsExistingFile(workbookPath);
  // A save made without the application's password never goes into the state, as the
  // runtime refuses it too (and has told the user so): there is no work to carry.
  if (ProtectsWorkbook(launcher) && !IsPasswordEncryptedWorkbook(workbook)) return true;
  if (stateWorkbook.empty()) ReadPackedItem(launcher, ItemId::kWorkbook, stateWorkbook);
  // The workbook as the launcher wrote it: no save came after the state.
  if (WorkbookFileOf(std::move(stateWorkbook)) == workbook) return true;
  // A later run has written the state since: that is the work the user went on with.
  if (!WrittenAfter(workbookPath, statePath)) return true;
  std::string digest;
  ReadPackedItem(launcher, ItemId::kWorkbookDigest, digest);
  const std::string state =
      WorkbookSavedState(workbook, FromWide(FileNameOf(workbookPath)), settingsBlob, digest, settings.settingsMagic());
  return !KeepWorkInState(statePath, state, settings.settingsMagic()).empty();
}

}  // namespace

bool CarryWorkspaceWork(HMODULE launcher, const std::wstring& launcherPath, const std::wstring& workbookPath) {
  if (!launcher || workbookPath.empty()) return true;
  try {
    return CarryWork(launcher, launcherPath, workbookPath);
  } catch (...) {
    // Texts that do not convert, memory that runs out: the workspace stays as it is.
    return false;
  }
}
