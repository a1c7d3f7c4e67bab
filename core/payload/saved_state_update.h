#pragma once
// What a saved state written by another build of the application is used for. The
// saved-state file carries the settings record of the build that wrote it; compared
// with the executable's own item 1100 it tells an update from a second run. After an
// update the author's new settings always take effect; the user's saved workbook is
// kept, or replaced by the new version's workbook with the old state set aside beside
// the new one, as the author's update policy (item 1230) says, or as the user answers.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/payload/app_settings.h"

enum class UpdatePolicy : uint8_t {
  kKeepUserWorkbook = 1,  // the saved workbook goes on under the new settings
  kUseNewWorkbook = 2,    // the new version's workbook; the old state is set aside
  kAsk = 3,               // the user chooses; nobody to ask keeps the saved workbook
};

// Only the author knows whether the workbook holds the user's data or the application,
// so without their word the user, who knows their data, is asked.
constexpr UpdatePolicy kDefaultUpdatePolicy = UpdatePolicy::kAsk;

// Item 1230: one byte, the policy's number. A missing or unknown item gives the default.
UpdatePolicy ReadUpdatePolicy(std::string_view item);
std::string WriteUpdatePolicy(UpdatePolicy policy);

// The configuration's names: "keepUserWorkbook", "useNewWorkbook", "ask".
std::optional<UpdatePolicy> UpdatePolicyFromName(std::string_view name);
const char* UpdatePolicyName(UpdatePolicy policy);

// True when the saved state's settings (parsed over the executable's own, as the
// launcher takes them) describe the build the executable carries: the same version,
// pack time, title, information, author contact, password, options and workbook
// format. Any build of the application differs in its pack time at least.
bool SameApplicationBuild(const AppSettings& own, const AppSettings& saved);

// True when the build that wrote a saved state packed the same workbook as this one:
// `ownDigest` is the executable's item 1250, `savedExtra` the state's extra section, where
// the runtime writes the item of the build it runs. Such an update changed only settings,
// texts or the add-in, so the user's saved workbook goes on without a question, whatever
// the policy: the new version's workbook would only be the old one again.
bool SamePackagedWorkbook(std::string_view ownDigest, std::string_view savedExtra);

enum class SavedStateUse {
  kSettingsAndWorkbook,  // the same build: the saved state goes on as it is
  kWorkbookOnly,         // another build: its settings, the user's saved workbook
  kNeither,              // another build: its settings and workbook; the old state is set aside
};

// `userKeepsWorkbook` is the user's answer when the policy asks (nullopt: nobody could
// be asked, as in a test run or a silent start).
SavedStateUse DecideSavedStateUse(bool sameBuild, UpdatePolicy policy, std::optional<bool> userKeepsWorkbook);

// Where an old state is set aside: "App.vstg" written by version 1.2.0 becomes
// "App.v1.2.0.vstg", or "App.v1.2.0-2.vstg" and so on for later attempts (`attempt`
// counts from 1) when that name is taken.
std::u16string SetAsidePath(std::u16string_view statePath, uint32_t savedVersion, int attempt);
