#include "core/payload/saved_state.h"

#include <gtest/gtest.h>

#include "core/payload/app_identity.h"
#include "core/payload/app_settings.h"
#include "core/encoding/byte_io.h"
#include "core/encoding/utf.h"
#include "core/payload/packed_item.h"

namespace {

SavedState Sample() {
  SavedState state;
  state.nameText = "Report";
  state.settings = std::string(120, 's');
  state.workbook = std::string("\x92\x10\x75\x30", 4) + "book";
  state.extra = "xx";
  return state;
}

std::string Narrow(const std::u16string& text) { return Utf16ToUtf8(text); }

}  // namespace

TEST(SavedState, CheckValueOfTheOnlyLaunchableMagic) {
  EXPECT_EQ(SavedStateCheckValue(kSettingsMagic), 0x7C577B6Eu);
}

TEST(SavedState, WrittenFileReadsBack) {
  SavedState written = Sample();
  auto read = ParseSavedState(WriteSavedState(written, kSettingsMagic), kSettingsMagic);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->nameText, "Report");
  EXPECT_EQ(read->settings, written.settings);
  EXPECT_EQ(read->workbook, written.workbook);
  EXPECT_EQ(read->extra, written.extra);
}

TEST(SavedState, NameEndsAtItsFirstZeroByte) {
  SavedState state = Sample();
  state.nameText = std::string("Rep\0ort", 7);
  auto read = ParseSavedState(WriteSavedState(state, kSettingsMagic), kSettingsMagic);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->nameText, "Rep");
  EXPECT_EQ(read->settings, state.settings);  // the full name length was skipped
}

TEST(SavedState, AcceptsAndRejects) {
  struct Case {
    const char* what;
    std::function<void(std::string&)> damage;
    bool valid;
  };
  const Case cases[] = {
      {"untouched", [](std::string&) {}, true},
      {"header only", [](std::string& f) { f.resize(40); StoreU32At(f, 28, 0); StoreU16At(f, 24, 0); StoreU32At(f, 32, 0); StoreU32At(f, 36, 0); }, false},
      {"settings length 0 with sizes adding up",
       [](std::string& f) {
         uint32_t settings = ReadU32At(f, 28);
         StoreU32At(f, 28, 0);
         StoreU32At(f, 36, ReadU32At(f, 36) + settings);
       },
       false},
      {"check value for another magic", [](std::string& f) { StoreU32At(f, 12, SavedStateCheckValue(0x12345678)); }, false},
      {"wrong magic", [](std::string& f) { f[0] = 'X'; }, false},
      {"header size not 40", [](std::string& f) { StoreU32At(f, 4, 44); }, false},
      {"one byte appended", [](std::string& f) { f.push_back('\0'); }, false},
      {"one byte missing", [](std::string& f) { f.pop_back(); }, false},
      {"empty workbook section",
       [](std::string& f) {
         uint32_t workbook = ReadU32At(f, 32);
         StoreU32At(f, 32, 0);
         StoreU32At(f, 36, ReadU32At(f, 36) + workbook);
       },
       true},
      // Both lengths grow by 2^31: the 32-bit sum wraps back to the real file size.
      {"lengths that wrap around 32 bits",
       [](std::string& f) {
         StoreU32At(f, 28, ReadU32At(f, 28) + 0x80000000u);
         StoreU32At(f, 32, ReadU32At(f, 32) + 0x80000000u);
       },
       false},
  };
  for (const auto& c : cases) {
    std::string file = WriteSavedState(Sample(), kSettingsMagic);
    c.damage(file);
    std::string reason;
    auto read = ParseSavedState(file, kSettingsMagic, &reason);
    EXPECT_EQ(read.has_value(), c.valid) << c.what << ": " << reason;
    if (!c.valid) {
      EXPECT_FALSE(reason.empty()) << c.what;
    }
  }
}

TEST(SavedState, PerUserNameFollowsTheFullPath) {
  const std::u16string a = PerUserSavedStateName(u"C:\\Apps\\Report.exe", u"C:\\APPS\\REPORT.EXE");
  EXPECT_EQ(a.size(), std::u16string(u"Report-12345678.vstg").size());
  EXPECT_EQ(Narrow(a.substr(0, 7)), "Report-");
  EXPECT_EQ(Narrow(a.substr(15)), ".vstg");
  EXPECT_EQ(a, PerUserSavedStateName(u"C:\\Apps\\Report.exe", u"C:\\APPS\\REPORT.EXE")) << "stable";
  EXPECT_NE(a, PerUserSavedStateName(u"D:\\Apps\\Report.exe", u"D:\\APPS\\REPORT.EXE")) << "another copy";
  EXPECT_EQ(Narrow(PerUserSavedStateName(u"C:\\My.Apps\\Report", u"X").substr(0, 7)), "Report-");
  EXPECT_EQ(Narrow(PerUserSavedStateName(u"Report.old.exe", u"X").substr(0, 11)), "Report.old-");
}

TEST(SavedState, PerUserNameByIdentityIsTheWholeIdentity) {
  std::string identity;
  for (int i = 0; i < 16; ++i) identity += static_cast<char>(i * 0x11);
  EXPECT_EQ(Narrow(IdentitySavedStateName(identity)), "app-00112233445566778899aabbccddeeff.vstg");
  // Two identities that share their fingerprint's half still name two states.
  std::string other = identity;
  other[15] = '\x01';
  EXPECT_EQ(AppFingerprint(identity), AppFingerprint(other));
  EXPECT_NE(IdentitySavedStateName(identity), IdentitySavedStateName(other));
  EXPECT_EQ(ReadAppIdentityItem(identity), identity);
  EXPECT_FALSE(ReadAppIdentityItem(identity.substr(1)));
  EXPECT_FALSE(ReadAppIdentityItem(identity + "x"));
}

TEST(SavedState, LocationItemReadsBack) {
  for (SavedStateLocation location : {SavedStateLocation::kUser, SavedStateLocation::kBeside}) {
    EXPECT_EQ(ParseSavedStateLocation(SavedStateLocationItem(location)), location);
  }
  EXPECT_TRUE(SavedStateLocationItem(SavedStateLocation::kUser).empty());
  for (const char* other : {"", "Beside", "beside ", "user", "x"}) {
    EXPECT_EQ(ParseSavedStateLocation(other), SavedStateLocation::kUser) << other;
  }
}

TEST(SavedState, PathReplacesOnlyTheLastExtension) {
  EXPECT_EQ(Narrow(SavedStatePath(u"C:\\Apps\\Report.exe")), "C:\\Apps\\Report.vstg");
  EXPECT_EQ(Narrow(SavedStatePath(u"C:\\Apps\\Report.old.exe")), "C:\\Apps\\Report.old.vstg");
  EXPECT_EQ(Narrow(SavedStatePath(u"C:\\My.Apps\\Report")), "C:\\My.Apps\\Report.vstg");
}

TEST(SavedState, AWorkbookFileGoesIntoAStateAndComesBackOut) {
  const std::string file = std::string("PK\x03\x04", 4) + std::string(5000, 'w') + "-- saved by the user";
  const std::string state = WorkbookSavedState(file, u"App(1).xlsm", std::string(120, 's'), "digest", kSettingsMagic);
  auto read = ParseSavedState(state, kSettingsMagic);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->nameText, "App(1).xlsm");
  EXPECT_EQ(read->settings, std::string(120, 's'));
  EXPECT_EQ(read->extra, "digest");
  // Packed and behind the marker, as the launcher writes the workbook from a state.
  EXPECT_TRUE(HasContainerMagic(read->workbook));
  EXPECT_EQ(WorkbookFileOf(read->workbook), file);
}

TEST(SavedState, OnlyAMarkedItemHoldsAWorkbookFile) {
  const struct {
    const char* what;
    std::string item;
    std::string file;
  } cases[] = {
      {"plain, marked", std::string("\x92\x10\x75\x30", 4) + "book", "book"},
      {"packed, marked", PackItem(std::string("\x92\x10\x75\x30", 4) + "book"), "book"},
      {"no marker", "book", ""},
      {"packed, no marker", PackItem("book"), ""},
      {"empty", "", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(WorkbookFileOf(c.item), c.file) << c.what;
}
