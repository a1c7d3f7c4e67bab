#include "core/payload/app_settings.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "core/encoding/byte_io.h"
#include "core/payload/packed_item.h"
#include "core/encoding/text_code.h"
#include "core/encoding/utf.h"

namespace {

std::string U16(std::u16string_view text) { return StringToUtf16LeBytes(text); }

// A record built field by field at the offsets of the layout under test.
struct Record {
  explicit Record(uint16_t headerSize) : bytes(headerSize, '\0') {
    if (headerSize >= 2) StoreU16At(bytes, 0, headerSize);
  }
  Record& U8(size_t offset, uint8_t value) {
    bytes[offset] = static_cast<char>(value);
    return *this;
  }
  Record& U16(size_t offset, uint16_t value) {
    StoreU16At(bytes, offset, value);
    return *this;
  }
  Record& U32(size_t offset, uint32_t value) {
    StoreU32At(bytes, offset, value);
    return *this;
  }
  Record& F64(size_t offset, double value) {
    std::string v;
    AppendF64(v, value);
    bytes.replace(offset, 8, v);
    return *this;
  }
  Record& Body(std::string_view part) {
    bytes += part;
    return *this;
  }
  std::string bytes;
};

AppSettings Parse(std::string blob, AppSettings settings = {}) {
  ParseAppSettings(blob, settings);
  return settings;
}

AppSettingsRecord SampleRecord() {
  AppSettingsRecord r;
  r.appVersion = 0x01020304;
  r.optionFlags = OPT_SAVED_STATE | OPT_SHOW_SPLASH;
  r.packTime = 45000.5;
  r.workbookFormat = 50;
  r.appTitle = u"Budget \u00E4";
  r.appInfo = u"Monthly budget";
  r.authorContact = u"author@example.com";
  r.startPassword = u"s\u00E9cret";
  return r;
}

TEST(AppSettings, WrittenRecordParsesBack) {
  const AppSettingsRecord r = SampleRecord();
  const AppSettings s = Parse(WriteAppSettings(r));
  EXPECT_EQ(s.headerSize(), 104);
  EXPECT_EQ(s.appVersion(), r.appVersion);
  EXPECT_EQ(s.optionFlags(), r.optionFlags);
  EXPECT_EQ(s.packTime(), r.packTime);
  EXPECT_EQ(s.settingsMagic(), kSettingsMagic);
  EXPECT_EQ(s.workbookFormat(), 50);
  EXPECT_EQ(s.formatVersion(), kCurrentFormatVersion);
  EXPECT_EQ(s.appTitle, r.appTitle);
  EXPECT_EQ(s.appInfo, r.appInfo);
  EXPECT_EQ(s.authorContact, r.authorContact);
  EXPECT_EQ(s.startPassword, r.startPassword);
  EXPECT_FALSE(s.trailingBlock.has_value());
}

TEST(AppSettings, ContainerIsUnpackedInPlace) {
  const std::string plain = WriteAppSettings(SampleRecord());
  std::string blob = PackItem(plain);
  AppSettings s;
  ParseAppSettings(blob, s);
  EXPECT_EQ(blob, plain);
  EXPECT_EQ(s.appTitle, SampleRecord().appTitle);
}

TEST(AppSettings, WriterRefusesTextsTheLengthFieldsCannotHold) {
  AppSettingsRecord r;
  r.appTitle = std::u16string(127, u'a');
  EXPECT_NO_THROW(WriteAppSettings(r));
  r.appTitle += u'a';
  EXPECT_THROW(WriteAppSettings(r), std::invalid_argument);
  r = AppSettingsRecord();
  r.authorContact = std::u16string(16384, u'a');
  EXPECT_THROW(WriteAppSettings(r), std::invalid_argument);
}

// Every old layout: its option bits, lengths and fields reach the current offsets,
// and only the layout's own header bytes are stored.
TEST(AppSettings, ConvertsEveryHeaderLayout) {
  const std::string title = U16(u"Title");
  const std::string info = U16(u"Info text");
  const std::string body = title + info;
  const std::string block(12, '\x0B');

  struct Case {
    const char* what;
    std::string record;
    uint32_t optionFlags;  // as stored: layouts too short to reach offset 24 keep 0
    uint32_t magic;
    int32_t workbookFormat;
    double packTime;
  } cases[] = {
      {"24 bytes",
       Record(24).U32(4, 0x01020304).U16(16, 0x0240).U8(18, 10).U16(20, 18).Body(body + block).bytes,
       0, 0, 0, 0},
      {"28 bytes",
       Record(28).U32(4, 0x01020304).U16(20, 0x0240).U8(22, 10).U16(24, 18).Body(body + block).bytes,
       0x0240, 0, 0, 0},
      {"72 bytes",
       Record(72).U32(4, 0x01020304).U16(24, 0x0240).U8(26, 10).U16(28, 18).F64(48, 40000.25)
           .U32(60, kSettingsMagic).Body(body + block).bytes,
       0x0240, kSettingsMagic, 0, 40000.25},
      // The workbook format moves to offset 84, beyond the 80 bytes this layout stores.
      {"80 bytes",
       Record(80).U32(4, 0x01020304).U16(24, 0x0240).U8(26, 10).U16(28, 18).F64(48, 40000.25)
           .U32(60, kSettingsMagic).U32(76, 52).Body(body + block).bytes,
       0x0240, kSettingsMagic, 0, 40000.25},
      {"104 bytes before 2.1.4.9",
       Record(104).U32(4, 0x01020304).U16(24, 0x0240).U8(26, 10).U16(28, 18).F64(56, 40000.25)
           .U32(68, kSettingsMagic).U32(84, 52).U32(92, 0x02010000).Body(body + block).bytes,
       0x0240, kSettingsMagic, 52, 40000.25},
      {"104 bytes before 2.4",
       Record(104).U32(4, 0x01020304).U16(24, 0x0240).U8(26, 10).U16(28, 18).F64(56, 40000.25)
           .U32(68, kSettingsMagic).U32(84, 52).U32(92, 0x02030000).Body(body + block).bytes,
       0x0240, kSettingsMagic, 52, 40000.25},
      {"104 bytes, version 0 is current",
       Record(104).U32(4, 0x01020304).U32(24, 0x20240).U8(28, 10).U16(30, 18).F64(56, 40000.25)
           .U32(68, kSettingsMagic).U32(84, 52).Body(body + block).bytes,
       0x20240, kSettingsMagic, 52, 40000.25},
      {"104 bytes, 2.4",
       Record(104).U32(4, 0x01020304).U32(24, 0x20240).U8(28, 10).U16(30, 18)
           .U32(68, kSettingsMagic).U32(92, 0x02040000).Body(body + block).bytes,
       0x20240, kSettingsMagic, 0, 0},
  };
  for (const Case& c : cases) {
    const AppSettings s = Parse(c.record);
    EXPECT_EQ(s.appVersion(), 0x01020304u) << c.what;
    EXPECT_EQ(s.optionFlags(), c.optionFlags) << c.what;
    EXPECT_EQ(s.settingsMagic(), c.magic) << c.what;
    EXPECT_EQ(s.workbookFormat(), c.workbookFormat) << c.what;
    EXPECT_EQ(s.packTime(), c.packTime) << c.what;
    EXPECT_EQ(s.appTitle, u"Title") << c.what;
    EXPECT_EQ(s.appInfo, u"Info text") << c.what;
    EXPECT_EQ(s.reservedBlock[0], 0x0B) << c.what;
  }
}

TEST(AppSettings, OldLayoutsMoveTheirLengthFields) {
  // 72 bytes: reserved lengths at 32..40 stay, reserved data length 56 -> 64,
  // author length 64 -> 72, password length 68 -> 76; 80 bytes adds reserved text 3 72 -> 80.
  const std::string password = EncodeTextCode(U16(u"pw"));
  const std::string text3 = EncodeTextCode(U16(u"r3"));
  const std::string text1 = EncodeTextCode(U16(u"r1"));
  const std::string body = text1 + U16(u"r2") + U16(u"a|b") + "DATA" + U16(u"me@x") +
                           std::string(12, '\0') + password;
  Record r72(72);
  r72.U32(32, static_cast<uint32_t>(text1.size())).U32(36, 4).U32(40, 6).U16(56, 4).U16(64, 8);
  r72.U16(66, 0xFFFF).U32(68, static_cast<uint32_t>(password.size()));  // 66: not a length
  Record r80 = r72;
  r80.bytes.resize(80);
  r80.U16(0, 80).U32(72, static_cast<uint32_t>(text3.size()));
  for (Record* r : {&r72, &r80}) {
    const bool has80 = r->bytes.size() == 80;
    const AppSettings s = Parse(r->bytes + body + (has80 ? text3 : ""));
    EXPECT_EQ(s.reservedText1, u"r1");
    EXPECT_EQ(s.reservedText2, u"r2");
    EXPECT_EQ(s.reservedList, (std::vector<std::u16string>{u"a", u"b"}));
    EXPECT_EQ(s.reservedData, "DATA");
    EXPECT_EQ(s.authorContact, u"me@x");
    EXPECT_EQ(s.startPassword, u"pw");
    EXPECT_EQ(s.reservedText3, has80 ? u"r3" : u"");
  }
}

TEST(AppSettings, ReservedDataLengthWidthDependsOnTheLayoutVersion) {
  // Bytes 66-67 hold 1: ignored before 2.1.4.9 (u16 length 4), part of the length after.
  const std::string body = "DATA" + std::string(12, '\0');
  for (uint32_t version : {0x02010408u, 0x02010409u}) {
    const AppSettings s =
        Parse(Record(104).U16(64, 4).U16(66, 1).U32(92, version).Body(body).bytes);
    EXPECT_EQ(s.reservedData, version < 0x02010409 ? "DATA" : "") << std::hex << version;
  }
}

TEST(AppSettings, OtherHeaderSizes) {
  // 96 bytes are copied as they stand; above 104 only the size survives.
  const AppSettings s96 =
      Parse(Record(96).U32(24, 0x4000).U8(28, 2).U32(68, kSettingsMagic).Body(U16(u"T")).bytes);
  EXPECT_EQ(s96.optionFlags(), 0x4000u);
  EXPECT_EQ(s96.settingsMagic(), kSettingsMagic);
  EXPECT_EQ(s96.appTitle, u"T");

  AppSettings before;
  before.header.fill(0xEE);
  const AppSettings s200 = Parse(Record(200).U32(24, 0x4000).U8(28, 2).Body(U16(u"T")).bytes, before);
  EXPECT_EQ(s200.headerSize(), 200);
  EXPECT_EQ(s200.optionFlags(), 0u);
  EXPECT_EQ(s200.settingsMagic(), 0u);
  EXPECT_EQ(s200.appTitle, u"");
}

TEST(AppSettings, ShortLayoutsKeepEarlierHeaderValues) {
  AppSettings first = Parse(WriteAppSettings(SampleRecord()));
  const AppSettings s = Parse(Record(24).U32(4, 0x05060700).U16(16, 0x40).bytes, first);
  EXPECT_EQ(s.headerSize(), 24);
  EXPECT_EQ(s.appVersion(), 0x05060700u);
  EXPECT_EQ(s.optionFlags(), SampleRecord().optionFlags);  // beyond the 24 stored bytes
  EXPECT_EQ(s.settingsMagic(), kSettingsMagic);
  EXPECT_EQ(s.workbookFormat(), 50);
}

TEST(AppSettings, SecondParseKeepsWhatItDoesNotCarry) {
  const AppSettings first = Parse(WriteAppSettings(SampleRecord()));
  AppSettingsRecord second;
  second.appTitle = u"Second";
  second.optionFlags = OPT_SAVED_STATE;
  const AppSettings s = Parse(WriteAppSettings(second), first);
  EXPECT_EQ(s.appTitle, u"Second");
  EXPECT_EQ(s.optionFlags(), OPT_SAVED_STATE);
  EXPECT_EQ(s.appInfo, u"Monthly budget");             // absent: kept
  EXPECT_EQ(s.authorContact, u"author@example.com");  // absent: kept
  EXPECT_EQ(s.startPassword, SampleRecord().startPassword);

  // A present but empty contact (one byte) does not replace it either.
  const AppSettings odd = Parse(Record(104).U16(72, 1).Body("x" + std::string(12, '\0')).bytes, first);
  EXPECT_EQ(odd.authorContact, u"author@example.com");
}

TEST(AppSettings, FieldThatDoesNotFitIsSkipped) {
  const std::string info = U16(u"Info");
  // The title claims 200 bytes: skipped, and the info is read from the same place.
  const AppSettings s = Parse(Record(104).U8(28, 200).U16(30, 8).Body(info + std::string(12, '\0')).bytes);
  EXPECT_EQ(s.appTitle, u"");
  EXPECT_EQ(s.appInfo, u"Info");

  // The contact length is signed: 0x8008 is negative and means none.
  const AppSettings neg = Parse(Record(104).U16(72, 0x8008).Body(U16(u"abcd") + std::string(12, '\0')).bytes);
  EXPECT_EQ(neg.authorContact, u"");
  EXPECT_EQ(neg.reservedBlock[0], 'a');  // the block follows at once
}

TEST(AppSettings, TextCodeFieldsDecodeToUtf16) {
  // Three bytes decode to one character and drop the odd byte.
  const std::string odd = EncodeTextCode(std::string("p\0q", 3));
  const std::string text3 = EncodeTextCode(U16(u"\u20AC3"));
  const AppSettings s = Parse(Record(104)
                                  .U32(76, static_cast<uint32_t>(odd.size()))
                                  .U32(80, static_cast<uint32_t>(text3.size()))
                                  .Body(std::string(12, '\0') + odd + text3)
                                  .bytes);
  EXPECT_EQ(s.startPassword, u"p");
  EXPECT_EQ(s.reservedText3, u"\u20AC3");
}

TEST(AppSettings, ReservedListDropsEmptyItems) {
  const std::string list = U16(u"|one||two|");
  const AppSettings s =
      Parse(Record(104).U32(40, static_cast<uint32_t>(list.size())).Body(list + std::string(12, '\0')).bytes);
  EXPECT_EQ(s.reservedList, (std::vector<std::u16string>{u"one", u"two"}));
}

std::string TrailingRecord(uint32_t version, std::string_view trailer) {
  return Record(104).U32(92, version).Body(std::string(12, '\0')).Body(trailer).bytes;
}

std::string Trailer(uint32_t count, std::initializer_list<std::pair<uint32_t, std::string>> entries,
                    bool withTexts) {
  std::string out;
  AppendU32(out, 0xABCD);
  AppendU32(out, count);
  for (const auto& [value, text] : entries) {
    AppendU32(out, value);
    if (withTexts) {
      AppendU32(out, static_cast<uint32_t>(text.size()));
      out += text;
    }
  }
  return out;
}

TEST(AppSettings, TrailingBlock) {
  using Entries = std::vector<std::pair<uint32_t, std::string>>;
  const std::string two = Trailer(2, {{1, "one"}, {2, "two"}}, true);
  struct Case {
    const char* what;
    std::string record;
    bool present;
    Entries entries;
  } cases[] = {
      {"none after reserved text 3", TrailingRecord(kCurrentFormatVersion, ""), false, {}},
      {"none with one byte left", TrailingRecord(kCurrentFormatVersion, "x"), false, {}},
      {"two bytes make one", TrailingRecord(kCurrentFormatVersion, "xy"), true, {}},
      {"entries with texts", TrailingRecord(kCurrentFormatVersion, two), true, {{1, "one"}, {2, "two"}}},
      {"version 0 counts as current", TrailingRecord(0, two), true, {{1, "one"}, {2, "two"}}},
      {"texts only from 2.0.0.1", TrailingRecord(0x02000000, Trailer(2, {{7, ""}, {8, ""}}, false)), true,
       {{7, ""}, {8, ""}}},
      {"count beyond the record", TrailingRecord(kCurrentFormatVersion, Trailer(1000000, {{1, "one"}}, true)),
       true, {{1, "one"}}},
      {"count of four billion", TrailingRecord(0x02000000, Trailer(0xFFFFFFFF, {{5, ""}}, false)), true,
       {{5, ""}}},
      {"text beyond the record", TrailingRecord(kCurrentFormatVersion, two.substr(0, two.size() - 1)), true,
       {{1, "one"}}},
  };
  for (const Case& c : cases) {
    const AppSettings s = Parse(c.record);
    ASSERT_EQ(s.trailingBlock.has_value(), c.present) << c.what;
    if (!c.present) continue;
    Entries got;
    for (const auto& e : s.trailingBlock->entries) got.emplace_back(e.value, e.text);
    EXPECT_EQ(got, c.entries) << c.what;
  }
  EXPECT_EQ(Parse(TrailingRecord(0, two)).trailingBlock->value, 0xABCDu);
}

TEST(AppSettings, TruncatedRecordsNeverReadPastTheEnd) {
  // Run under AddressSanitizer: every prefix of a full record must parse safely.
  const std::string full = WriteAppSettings(SampleRecord()) + Trailer(1, {{1, "one"}}, true);
  for (size_t n = 0; n <= full.size(); ++n) {
    std::string blob(full.substr(0, n));
    blob.shrink_to_fit();
    AppSettings s;
    ParseAppSettings(blob, s);
    // Whatever fits is read; nothing is invented beyond the record.
    const size_t titleEnd = 104 + 2 * SampleRecord().appTitle.size();
    EXPECT_EQ(s.appTitle, n >= titleEnd ? SampleRecord().appTitle : u"") << n;
  }
  const AppSettings cut = Parse(WriteAppSettings(SampleRecord()).substr(0, 104 + 20));
  EXPECT_EQ(cut.settingsMagic(), kSettingsMagic);
  EXPECT_EQ(cut.appTitle, SampleRecord().appTitle);
  EXPECT_EQ(cut.appInfo, u"");  // did not fit
}

}  // namespace
