#include "packer/item_checks.h"

#include <algorithm>
#include <iterator>

#include "core/encoding/utf.h"
#include "core/payload/app_settings.h"
#include "core/payload/saved_state_update.h"
#include "core/text/message_texts.h"
#include "core/text/text_overrides.h"
#include "packer/pack_error.h"
#include "packer/pe_image.h"

const std::string kPlaceholder(1, '\0');

void CheckSplashPicture(const std::string& name, std::string_view bytes) {
  if (bytes.substr(0, 3) != "\xFF\xD8\xFF") throw BadInput(name, "not a JPEG file");
}

void CheckNotice(const std::string& name, std::string_view bytes, bool rtf, std::vector<std::string>& warnings) {
  if (rtf && bytes.substr(0, 5) != "{\\rtf") throw BadInput(name, "not an RTF file (no {\\rtf at its start)");
  if (bytes.size() < 3) warnings.push_back(name + ": shorter than 3 bytes, so the launcher does not show it");
}

// A swapped pair of add-ins would only fail inside the host.
void CheckAddInDll(const std::string& name, std::string_view bytes, uint16_t machine, std::vector<std::string>& warnings) {
  try {
    PeImage image{std::string(bytes)};
    if (image.Machine() != machine) {
      throw BadInput(name, machine == kMachineI386 ? "is not a 32-bit (x86) DLL" : "is not a 64-bit (x64) DLL");
    }
  } catch (const PeFormatError& error) {
    warnings.push_back(name + ": not a Windows DLL (" + error.what() + ")");
  }
}

void CheckSettingsRecord(const std::string& name, std::string_view bytes) {
  std::string record(bytes);
  AppSettings settings;
  ParseAppSettings(record, settings);
  if (settings.settingsMagic() != kSettingsMagic) {
    throw BadInput(name, "not a settings record the launcher starts with (its settings magic is not 0x0EA21246)");
  }
}

void CheckTextOverrideTable(const std::string& name, std::string_view bytes) {
  if (bytes == kPlaceholder) return;
  TextOverrideTable table;
  table.LoadTextOverrides(bytes);
  // What reads back and writes again to the same bytes is a whole table, cut nowhere.
  if (table.Texts().empty() || WriteTextOverrides(table.Texts()) != bytes) {
    throw BadInput(name, "not a text override table (write the texts into the configuration's \"texts\")");
  }
  for (const auto& [key, text] : table.Texts()) {
    if (std::find(std::begin(OverrideKey::kAll), std::end(OverrideKey::kAll), key) == std::end(OverrideKey::kAll)) {
      throw BadInput(name, "text " + std::to_string(key) + ": no text of the launcher has this override key");
    }
    if (!IsValidUtf8(text)) throw BadInput(name, "text " + std::to_string(key) + " is not UTF-8");
  }
}

void CheckUpdatePolicy(const std::string& name, std::string_view bytes) {
  if (bytes.size() != 1 || WriteUpdatePolicy(ReadUpdatePolicy(bytes)) != bytes) {
    throw BadInput(name, "not an update policy (one byte: 1 keepUserWorkbook, 2 useNewWorkbook, 3 ask)");
  }
}
