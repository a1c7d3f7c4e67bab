#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/payload/app_settings.h"
#include "packer/app_items.h"
#include "packer/pack_config.h"
#include "packer/pack_error.h"

namespace fs = std::filesystem;

namespace {

const fs::path kConfigFile = fs::path("apps") / "report" / "app.json";

TEST(PackerPackConfig, ReadsEveryKey) {
  const PackConfig config = ParsePackConfig(R"({
    "title": "Report", "info": "Figures", "version": "1.20.255", "authorContact": "a@b.c",
    "password": "pw", "options": {"splash": true, "singleInstance": true, "savedState": false,
    "keepHostHidden": true, "checkHostVersion": true}, "workbook": "Book.XLSB", "splash": "s.jpg",
    "notice": "n.rtf", "texts": {"7": "Achtung", "42": "x"}, "icon": "app.ico", "addinKit": "kit",
    "arch": "x86", "versionInfo": {"productName": "P", "company": "C"}})", kConfigFile);
  EXPECT_EQ(config.title, "Report");
  EXPECT_EQ(config.version, (std::array<uint8_t, 3>{1, 20, 255}));
  EXPECT_EQ(config.optionFlags, OPT_SHOW_SPLASH | OPT_SINGLE_INSTANCE | OPT_KEEP_HOST_HIDDEN | OPT_CHECK_HOST_VERSION);
  EXPECT_EQ(config.workbookFormat, 50);
  EXPECT_EQ(config.workbook, kConfigFile.parent_path() / "Book.XLSB");
  EXPECT_EQ(config.addinKit, kConfigFile.parent_path() / "kit");
  EXPECT_EQ(config.texts, (std::map<int32_t, std::string>{{7, "Achtung"}, {42, "x"}}));
  EXPECT_EQ(config.arch, "x86");
  EXPECT_TRUE(config.archGiven);
  ASSERT_TRUE(config.versionInfo.has_value());
  EXPECT_EQ(config.versionInfo->company, "C");
  EXPECT_EQ(config.versionInfo->copyright, "");
}

TEST(PackerPackConfig, DefaultsAndAbsolutePaths) {
  const std::string absolute = (fs::current_path() / "book.xlsm").u8string();
  const PackConfig config =
      ParsePackConfig(R"({"workbook": ")" + absolute + R"("})", kConfigFile);
  EXPECT_EQ(config.workbook, fs::path(absolute));
  EXPECT_EQ(config.workbookFormat, 52);
  EXPECT_EQ(config.arch, "x64");
  EXPECT_FALSE(config.archGiven);
  EXPECT_EQ(config.optionFlags, 0u);
  EXPECT_FALSE(config.splash || config.notice || config.icon || config.versionInfo || config.addinKit);
}

TEST(PackerPackConfig, WorkbookFormatFromExtension) {
  EXPECT_EQ(WorkbookFormatFor("a.xlsm"), 52);
  EXPECT_EQ(WorkbookFormatFor("a.XLSB"), 50);
  EXPECT_EQ(WorkbookFormatFor("a.b.xls"), -4143);
  EXPECT_EQ(WorkbookFormatFor("a.xlsx"), std::nullopt);
  EXPECT_EQ(WorkbookFormatFor("xls"), std::nullopt);
}

TEST(PackerPackConfig, RefusesBadConfigurationsNamingTheKey) {
  const std::string base = R"("workbook": "b.xlsm", "addinKit": "k")";
  const std::vector<std::pair<std::string, const char*>> cases = {
      {"{", "malformed JSON"},
      {"[]", "must be a JSON object"},
      {R"({"addinKit": "k"})", "missing key 'workbook'"},
      {R"({"workbook": "b.xlsm", "addinKit": ""})", "key 'addinKit': expected a file name"},
      {"{" + base + R"(, "titel": "x"})", "unknown key 'titel'"},
      {"{" + base + R"(, "title": 5})", "key 'title': expected a text"},
      {"{" + base + R"(, "title": ")" + std::string(128, 'x') + R"("})", "key 'title': longer than 127"},
      {"{" + base + R"(, "version": "1.2.3.4"})", "key 'version'"},
      {"{" + base + R"(, "version": "1.256"})", "key 'version'"},
      {"{" + base + R"(, "version": "1..2"})", "key 'version'"},
      {"{" + base + R"(, "options": {"splash": 1}})", "key 'options.splash': expected true or false"},
      {"{" + base + R"(, "options": {"fast": true}})", "unknown key 'options.fast'"},
      {"{" + base + R"(, "options": []})", "key 'options': expected an object"},
      {R"({"workbook": "b.xlsx", "addinKit": "k"})", "save it as a macro-enabled workbook (.xlsm)"},
      {R"({"workbook": "b.ods", "addinKit": "k"})", "unknown workbook type '.ods'"},
      {R"({"workbook": "", "addinKit": "k"})", "key 'workbook': expected a file name"},
      {"{" + base + R"(, "notice": "n.doc"})", "the notice must be a .txt or .rtf file"},
      {"{" + base + R"(, "texts": {"seven": "x"}})", "key 'texts.seven': override keys are whole numbers"},
      {"{" + base + R"(, "texts": {"99999999999": "x"}})", "override keys are whole numbers"},
      {"{" + base + R"(, "texts": {"7": 7}})", "key 'texts.7': expected a text"},
      {"{" + base + R"(, "arch": "arm64"})", "key 'arch': expected \"x64\" or \"x86\""},
      {"{" + base + R"(, "versionInfo": {"author": "x"}})", "unknown key 'versionInfo.author'"},
      {"{" + base + R"(, "texts": {"-3": "x"}})", "key 'texts.-3': no text of the launcher has this override key"},
      {"{" + base + R"(, "texts": {"99": "x"}})", "the keys are 3, 4, 6, 7, 11, 12, 13, 14, 15, 16, 39, 40, 41, 42"},
      {"{" + base + R"(, "title": "a", "title": "b"})", "key 'title' is given twice"},
      {"{" + base + R"(, "options": {"splash": true, "splash": false}})", "key 'options.splash' is given twice"},
      {"{" + base + R"(, "authorContact": "John Smith"})", "key 'authorContact': 'John Smith' is neither a mail"},
      {"{" + base + R"(, "authorContact": "a@b"})", "is neither a mail address"},
      {"{" + base + R"(, "authorContact": "ftp://example.org"})", "is neither a mail address"},
      {"{" + base + R"(, "onUpdate": "keep"})", "key 'onUpdate': expected \"keepUserWorkbook\""},
      {"{" + base + R"(, "onUpdate": true})", "key 'onUpdate'"},
      {"\xFF\xFE{\0}\0", "is UTF-16 text; save the file as UTF-8"},
      {std::string("{\0\"\0", 4), "is UTF-16 text; save the file as UTF-8"},
      {"{\n" + base + ",\n\"title\": \"Gr\xFC" "\xDF" "e\"}", "line 3 is not UTF-8 (saved in an ANSI code page?)"},
  };
  for (const auto& [json, message] : cases) {
    SCOPED_TRACE(json);
    try {
      ParsePackConfig(json, kConfigFile);
      ADD_FAILURE() << "accepted";
    } catch (const PackError& error) {
      EXPECT_EQ(error.Code(), ExitCode::kBadInput);
      EXPECT_THAT(error.what(), testing::StartsWith(kConfigFile.u8string() + ": "));
      EXPECT_THAT(error.what(), testing::HasSubstr(message));
    }
  }
}

TEST(PackerPackConfig, SettingsRecordCarriesTheConfiguration) {
  PackConfig config = ParsePackConfig(R"({"workbook": "b.xls", "addinKit": "k", "title": "Caf\u00e9",
      "info": "i", "version": "1.1", "authorContact": "me@example.org", "password": "pw",
      "options": {"savedState": true}})", kConfigFile);
  std::string record = BuildSettingsRecord(config, 45000.25);
  AppSettings settings;
  ParseAppSettings(record, settings);
  EXPECT_EQ(settings.appVersion(), 0x01010000u);
  EXPECT_EQ(settings.optionFlags(), OPT_SAVED_STATE);
  EXPECT_EQ(settings.workbookFormat(), -4143);
  EXPECT_EQ(settings.settingsMagic(), kSettingsMagic);
  EXPECT_EQ(settings.formatVersion(), kCurrentFormatVersion);
  EXPECT_EQ(settings.packTime(), 45000.25);
  EXPECT_EQ(settings.appTitle, u"Caf\u00e9");
  EXPECT_EQ(settings.appInfo, u"i");
  EXPECT_EQ(settings.authorContact, u"me@example.org");
  EXPECT_EQ(settings.startPassword, u"pw");
}

}  // namespace

namespace {

TEST(PackerPackConfig, ContactsTheLauncherCanOpen) {
  const std::string base = R"({"workbook": "b.xlsm", "authorContact": ")";
  for (const char* contact : {"team@example.com", "first.last+app@mail.example.co.uk", "a@b.c?subject=Hello",
                              "https://example.org/support", "HTTP://EXAMPLE.ORG", "www.example.org", ""}) {
    SCOPED_TRACE(contact);
    EXPECT_EQ(ParsePackConfig(base + contact + R"("})", kConfigFile).authorContact, contact);
  }
  // A UTF-8 byte-order mark is taken; the keys and their order are the file's.
  EXPECT_EQ(ParsePackConfig("\xEF\xBB\xBF{\"workbook\": \"b.xlsm\", \"onUpdate\": \"useNewWorkbook\"}", kConfigFile).onUpdate,
            UpdatePolicy::kUseNewWorkbook);
}

}  // namespace
