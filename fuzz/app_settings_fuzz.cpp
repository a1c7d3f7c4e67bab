// The settings record: item 1100 parsed first, then a saved-state file's record parsed
// over it, in any of the header layouts, plain or packed; then shown the way
// `sheetpack inspect --settings` shows it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_check.h"
#include "core/payload/app_settings.h"
#include "core/encoding/byte_io.h"
#include "core/payload/packed_item.h"
#include "core/messages/macro_expander.h"
#include "packer/settings_report.h"

namespace {

// Header sizes with a conversion of their own, and one that is copied as it stands.
constexpr uint16_t kLayouts[] = {24, 28, 72, 80, 96, kCurrentHeaderSize};

// The first byte steers: bits 0-2 force a header size, bits 3 and 4 pack the first
// and the second record into a container.
std::string Shape(std::string blob, unsigned layout, bool pack) {
  if (layout < std::size(kLayouts) && blob.size() >= 2) StoreU16At(blob, 0, kLayouts[layout]);
  if (pack && !blob.empty()) blob = PackItem(blob);
  return blob;
}

// A record written from what was parsed must parse back to the same values.
void CheckWriterAgrees(const AppSettings& parsed) {
  const uint32_t version = parsed.formatVersion();
  if (version != 0 && version < 0x02040000) return;  // the writer only writes the current layout
  AppSettingsRecord record;
  record.appVersion = parsed.appVersion();
  record.optionFlags = parsed.optionFlags();
  record.settingsMagic = parsed.settingsMagic();
  record.workbookFormat = parsed.workbookFormat();
  record.formatVersion = version;
  record.appTitle = parsed.appTitle;
  record.appInfo = parsed.appInfo;
  record.authorContact = parsed.authorContact;
  record.startPassword = parsed.startPassword;
  std::string written = WriteAppSettings(record);
  AppSettings again;
  ParseAppSettings(written, again);
  FUZZ_CHECK(again.appVersion() == record.appVersion);
  FUZZ_CHECK(again.optionFlags() == record.optionFlags);
  FUZZ_CHECK(again.settingsMagic() == record.settingsMagic);
  FUZZ_CHECK(again.workbookFormat() == record.workbookFormat);
  FUZZ_CHECK(again.appTitle == record.appTitle);
  FUZZ_CHECK(again.appInfo == record.appInfo);
  FUZZ_CHECK(again.authorContact == record.authorContact);
  FUZZ_CHECK(again.startPassword == record.startPassword);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint8_t steer = data[0];
  const size_t rest = size - 3;
  const size_t split = (size_t{data[1]} | size_t{data[2]} << 8) % (rest + 1);
  const char* bytes = reinterpret_cast<const char*>(data + 3);
  std::string first = Shape(std::string(bytes, split), steer & 7, steer & 8);
  std::string second = Shape(std::string(bytes + split, rest - split), 7, steer & 16);

  AppSettings settings;
  MacroExpander macros;
  ParseAppSettings(first, settings);
  macros.RefreshMacros(settings, nullptr);
  CheckWriterAgrees(settings);
  ParseAppSettings(second, settings);
  macros.RefreshMacros(settings, nullptr);
  CheckWriterAgrees(settings);

  SettingsToText(settings);
  SettingsToJson(settings).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  return 0;
}
