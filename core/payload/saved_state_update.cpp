#include "core/payload/saved_state_update.h"

#include <cstring>

namespace {

bool SamePackTime(const AppSettings& a, const AppSettings& b) {
  // Bit for bit: a pack time is a double, and the record stores its bytes.
  const double timeA = a.packTime();
  const double timeB = b.packTime();
  return std::memcmp(&timeA, &timeB, sizeof timeA) == 0;
}

}  // namespace

UpdatePolicy ReadUpdatePolicy(std::string_view item) {
  if (item.size() != 1) return kDefaultUpdatePolicy;
  switch (static_cast<uint8_t>(item[0])) {
    case static_cast<uint8_t>(UpdatePolicy::kKeepUserWorkbook):
      return UpdatePolicy::kKeepUserWorkbook;
    case static_cast<uint8_t>(UpdatePolicy::kUseNewWorkbook):
      return UpdatePolicy::kUseNewWorkbook;
    case static_cast<uint8_t>(UpdatePolicy::kAsk):
      return UpdatePolicy::kAsk;
    default:
      return kDefaultUpdatePolicy;
  }
}

std::string WriteUpdatePolicy(UpdatePolicy policy) { return std::string(1, static_cast<char>(policy)); }

std::optional<UpdatePolicy> UpdatePolicyFromName(std::string_view name) {
  for (UpdatePolicy policy : {UpdatePolicy::kKeepUserWorkbook, UpdatePolicy::kUseNewWorkbook, UpdatePolicy::kAsk}) {
    if (name == UpdatePolicyName(policy)) return policy;
  }
  return std::nullopt;
}

const char* UpdatePolicyName(UpdatePolicy policy) {
  switch (policy) {
    case UpdatePolicy::kKeepUserWorkbook:
      return "keepUserWorkbook";
    case UpdatePolicy::kUseNewWorkbook:
      return "useNewWorkbook";
    case UpdatePolicy::kAsk:
      return "ask";
  }
  return "ask";
}

bool SameApplicationBuild(const AppSettings& own, const AppSettings& saved) {
  return own.appVersion() == saved.appVersion() && SamePackTime(own, saved) &&
         own.optionFlags() == saved.optionFlags() && own.workbookFormat() == saved.workbookFormat() &&
         own.appTitle == saved.appTitle && own.appInfo == saved.appInfo && own.authorContact == saved.authorContact &&
         own.startPassword == saved.startPassword;
}

bool SamePackagedWorkbook(std::string_view ownDigest, std::string_view savedExtra) {
  return !ownDigest.empty() && ownDigest == savedExtra;
}

SavedStateUse DecideSavedStateUse(bool sameBuild, UpdatePolicy policy, std::optional<bool> userKeepsWorkbook) {
  if (sameBuild) return SavedStateUse::kSettingsAndWorkbook;
  switch (policy) {
    case UpdatePolicy::kKeepUserWorkbook:
      return SavedStateUse::kWorkbookOnly;
    case UpdatePolicy::kUseNewWorkbook:
      return SavedStateUse::kNeither;
    case UpdatePolicy::kAsk:
      // Nobody to ask: the user's work goes on, under the new version's settings.
      return userKeepsWorkbook.value_or(true) ? SavedStateUse::kWorkbookOnly : SavedStateUse::kNeither;
  }
  return SavedStateUse::kWorkbookOnly;
}

std::u16string SetAsidePath(std::u16string_view statePath, uint32_t savedVersion, int attempt) {
  const size_t folderEnd = statePath.find_last_of(u"\\/");
  const size_t nameStart = folderEnd == std::u16string_view::npos ? 0 : folderEnd + 1;
  size_t dot = statePath.rfind(u'.');
  if (dot == std::u16string_view::npos || dot < nameStart) dot = statePath.size();
  std::u16string tag = u".v" + FormatAppVersion(savedVersion);
  if (attempt > 1) {
    for (char c : "-" + std::to_string(attempt)) tag += static_cast<char16_t>(c);
  }
  return std::u16string(statePath.substr(0, dot)) + tag + std::u16string(statePath.substr(dot));
}
