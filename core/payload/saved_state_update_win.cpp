#include "core/payload/saved_state_update_win.h"

#include "core/payload/item_ids.h"
#include "core/payload/resources_win.h"
#include "core/payload/saved_state_update.h"
#include "core/win/wide_win.h"

namespace {

UpdatePolicy PolicyOf(HMODULE module) {
  std::string item;
  return LoadPackedItem(module, ItemId::kUpdatePolicy, item) ? ReadUpdatePolicy(item) : kDefaultUpdatePolicy;
}

}  // namespace

std::wstring FreeSetAsidePath(const std::wstring& statePath, uint32_t savedVersion) {
  for (int attempt = 1;; ++attempt) {
    std::wstring path = ToWide(SetAsidePath(FromWide(statePath), savedVersion, attempt));
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES || attempt == 1000) return path;
  }
}

void UseSavedState(HMODULE module, const std::wstring& statePath, SavedState saved, std::string& blob,
                   AppSettings& settings, std::string& workbook, const UpdateQuestion* question) {
  // Parsed over the executable's own settings, as a second run takes them.
  AppSettings savedSettings = settings;
  std::string savedBlob = std::move(saved.settings);
  ParseAppSettings(savedBlob, savedSettings);
  if (SameApplicationBuild(settings, savedSettings)) {
    blob = std::move(savedBlob);
    settings = savedSettings;
    workbook = std::move(saved.workbook);
    return;
  }
  // An update: the executable's settings stay in force, whatever follows.
  if (!question) return;
  std::string ownDigest;
  ReadPackedItem(module, ItemId::kWorkbookDigest, ownDigest);
  if (SamePackagedWorkbook(ownDigest, saved.extra)) {
    workbook = std::move(saved.workbook);
    return;
  }
  const UpdatePolicy policy = PolicyOf(module);
  const std::wstring setAside = FreeSetAsidePath(statePath, savedSettings.appVersion());
  std::optional<bool> answer;
  if (policy == UpdatePolicy::kAsk) answer = (*question)(UpdateQuestionFacts{settings, savedSettings, setAside});
  const SavedStateUse use = DecideSavedStateUse(false, policy, answer);
  // A state that cannot be set aside would be overwritten at the end of the run: its
  // workbook is used instead, so that nothing is lost.
  if (use == SavedStateUse::kNeither && MoveFileExW(statePath.c_str(), setAside.c_str(), MOVEFILE_WRITE_THROUGH)) {
    return;
  }
  workbook = std::move(saved.workbook);
}
