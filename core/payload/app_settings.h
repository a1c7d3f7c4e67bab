#pragma once
// The application-settings record (item 1100, and the settings section of a
// saved-state file): a header of one of several historical layouts, converted to
// the current 104-byte layout, followed by length-prefixed fields.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

constexpr uint32_t OPT_KEEP_HOST_HIDDEN = 0x40;
constexpr uint32_t OPT_CHECK_HOST_VERSION = 0x80;
constexpr uint32_t OPT_SHOW_SPLASH = 0x200;
constexpr uint32_t OPT_SINGLE_INSTANCE = 0x4000;
constexpr uint32_t OPT_SAVED_STATE = 0x20000;

constexpr uint32_t kSettingsMagic = 0x0EA21246;
constexpr uint16_t kCurrentHeaderSize = 104;
constexpr uint32_t kCurrentFormatVersion = 0x02050400;

struct TrailingBlock {
  struct Entry {
    uint32_t value = 0;
    std::string text;
  };
  uint32_t value = 0;
  std::vector<Entry> entries;
};

// The launcher-wide settings. The header fields live in the converted header bytes;
// the accessors read them from there, so a short header keeps earlier values.
struct AppSettings {
  std::array<uint8_t, kCurrentHeaderSize> header{};

  uint16_t headerSize() const;
  uint32_t appVersion() const;
  uint32_t optionFlags() const;
  double packTime() const;
  uint32_t settingsMagic() const;
  int32_t workbookFormat() const;
  uint32_t formatVersion() const;

  std::u16string appTitle;
  std::u16string appInfo;
  std::u16string authorContact;
  std::u16string startPassword;
  std::u16string reservedText1;
  std::u16string reservedText2;
  std::u16string reservedText3;
  std::vector<std::u16string> reservedList;
  std::string reservedData;
  std::array<uint8_t, 12> reservedBlock{};
  std::optional<TrailingBlock> trailingBlock;
};

// Parses `blob` (unpacking it first when it is a container, in place) over `settings`.
// Never fails and never reads past the record.
void ParseAppSettings(std::string& blob, AppSettings& settings);

// What the packer puts into a record of the current layout.
struct AppSettingsRecord {
  uint32_t appVersion = 0;
  uint32_t optionFlags = 0;
  double packTime = 0;
  uint32_t settingsMagic = kSettingsMagic;
  int32_t workbookFormat = 52;
  uint32_t formatVersion = kCurrentFormatVersion;
  std::u16string appTitle;
  std::u16string appInfo;
  std::u16string authorContact;
  std::u16string startPassword;
};

// "%d.%d.%d" of the three high bytes of an appVersion.
std::u16string FormatAppVersion(uint32_t version);

// Writes a plain (not packed) record of the current 104-byte layout.
std::string WriteAppSettings(const AppSettingsRecord& record);
