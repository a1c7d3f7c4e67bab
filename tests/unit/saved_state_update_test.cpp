#include "core/payload/saved_state_update.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr auto kKeep = UpdatePolicy::kKeepUserWorkbook;
constexpr auto kNew = UpdatePolicy::kUseNewWorkbook;
constexpr auto kAsk = UpdatePolicy::kAsk;
constexpr auto kBoth = SavedStateUse::kSettingsAndWorkbook;
constexpr auto kWorkbook = SavedStateUse::kWorkbookOnly;
constexpr auto kNeither = SavedStateUse::kNeither;

TEST(SavedStateUpdate, DecisionTable) {
  struct Row {
    bool sameBuild;
    UpdatePolicy policy;
    std::optional<bool> userKeeps;
    SavedStateUse expected;
  };
  const std::vector<Row> rows = {
      // A second run of the same build goes on from its state, whatever the policy.
      {true, kKeep, std::nullopt, kBoth},
      {true, kNew, std::nullopt, kBoth},
      {true, kAsk, false, kBoth},
      // An update: the new settings always; the workbook as the author says.
      {false, kKeep, std::nullopt, kWorkbook},
      {false, kKeep, false, kWorkbook},  // nobody is asked, so no answer counts
      {false, kNew, std::nullopt, kNeither},
      {false, kNew, true, kNeither},
      // ... or as the user answers; nobody to ask keeps the user's work going.
      {false, kAsk, true, kWorkbook},
      {false, kAsk, false, kNeither},
      {false, kAsk, std::nullopt, kWorkbook},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.sameBuild ? "same build, " : "update, ") + UpdatePolicyName(row.policy) + ", answer " +
                 (row.userKeeps ? (*row.userKeeps ? "keep" : "new") : "none"));
    EXPECT_EQ(DecideSavedStateUse(row.sameBuild, row.policy, row.userKeeps), row.expected);
  }
}

TEST(SavedStateUpdate, SamePackagedWorkbookOnlyByEqualDigests) {
  const std::string digest(16, '\x5a');
  EXPECT_TRUE(SamePackagedWorkbook(digest, digest));
  EXPECT_FALSE(SamePackagedWorkbook(digest, std::string(16, '\x5b'))) << "another workbook";
  EXPECT_FALSE(SamePackagedWorkbook(digest, "")) << "a state written before there was a digest";
  EXPECT_FALSE(SamePackagedWorkbook("", "")) << "an executable without one";
  EXPECT_FALSE(SamePackagedWorkbook(digest, digest.substr(1)));
}

TEST(SavedStateUpdate, PolicyItemAndNames) {
  for (UpdatePolicy policy : {kKeep, kNew, kAsk}) {
    EXPECT_EQ(ReadUpdatePolicy(WriteUpdatePolicy(policy)), policy);
    EXPECT_EQ(UpdatePolicyFromName(UpdatePolicyName(policy)), policy);
  }
  EXPECT_EQ(WriteUpdatePolicy(kNew), std::string(1, '\x02'));
  // A missing, empty, unknown or longer item: the default, which asks.
  for (const std::string& item : {std::string(), std::string(1, '\0'), std::string(1, '\x09'), std::string("\x01\x01")}) {
    EXPECT_EQ(ReadUpdatePolicy(item), kAsk);
  }
  EXPECT_EQ(UpdatePolicyFromName("KeepUserWorkbook"), std::nullopt);
  EXPECT_EQ(UpdatePolicyFromName(""), std::nullopt);
}

AppSettings Settings(const AppSettingsRecord& record) {
  std::string blob = WriteAppSettings(record);
  AppSettings settings;
  ParseAppSettings(blob, settings);
  return settings;
}

TEST(SavedStateUpdate, SameBuildOnlyWhenEveryPackedSettingMatches) {
  AppSettingsRecord base;
  base.appVersion = 0x01020000;
  base.packTime = 45000.5;
  base.optionFlags = OPT_SAVED_STATE;
  base.appTitle = u"Ledger";
  base.appInfo = u"Accounts";
  base.authorContact = u"a@example.org";
  base.startPassword = u"one";
  const AppSettings own = Settings(base);
  EXPECT_TRUE(SameApplicationBuild(own, Settings(base)));

  const std::vector<std::pair<const char*, std::function<void(AppSettingsRecord&)>>> changes = {
      {"version", [](AppSettingsRecord& r) { r.appVersion = 0x02020000; }},
      {"pack time", [](AppSettingsRecord& r) { r.packTime = 45000.5000001; }},
      {"options", [](AppSettingsRecord& r) { r.optionFlags |= OPT_KEEP_HOST_HIDDEN; }},
      {"workbook format", [](AppSettingsRecord& r) { r.workbookFormat = -4143; }},
      {"title", [](AppSettingsRecord& r) { r.appTitle = u"Ledger 2"; }},
      {"information", [](AppSettingsRecord& r) { r.appInfo = u"Accounts and more"; }},
      {"author contact", [](AppSettingsRecord& r) { r.authorContact = u"b@example.org"; }},
      {"password", [](AppSettingsRecord& r) { r.startPassword = u"two"; }},
  };
  for (const auto& [what, change] : changes) {
    SCOPED_TRACE(what);
    AppSettingsRecord other = base;
    change(other);
    EXPECT_FALSE(SameApplicationBuild(own, Settings(other)));
  }
}

TEST(SavedStateUpdate, SetAsidePathKeepsTheFolderAndTheExtension) {
  EXPECT_EQ(SetAsidePath(u"C:\\Apps\\Report.vstg", 0x01020000, 1), u"C:\\Apps\\Report.v1.2.0.vstg");
  EXPECT_EQ(SetAsidePath(u"C:\\Apps\\Report.vstg", 0x01020000, 2), u"C:\\Apps\\Report.v1.2.0-2.vstg");
  EXPECT_EQ(SetAsidePath(u"C:\\My.Apps\\Report.old.vstg", 0xFF000000, 1), u"C:\\My.Apps\\Report.old.v255.0.0.vstg");
  EXPECT_EQ(SetAsidePath(u"C:\\My.Apps\\state", 0, 12), u"C:\\My.Apps\\state.v0.0.0-12");
}

}  // namespace
