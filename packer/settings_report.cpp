#include "packer/settings_report.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "core/payload/app_settings.h"
#include "core/messages/macro_expander.h"
#include "packer/lenient_text.h"

using nlohmann::ordered_json;

namespace {

constexpr double kOleDateUnixEpoch = 25569.0;  // 1970-01-01 as days since 1899-12-30

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

std::string DottedVersion(uint32_t version) {
  return std::to_string(version >> 24) + "." + std::to_string(version >> 16 & 0xFF) + "." +
         std::to_string(version >> 8 & 0xFF) + "." + std::to_string(version & 0xFF);
}

// An OLE Automation date as UTC text; empty when it is outside what gmtime handles.
std::string OleDateText(double oleDate) {
  const double seconds = (oleDate - kOleDateUnixEpoch) * 86400.0;
  if (!std::isfinite(seconds) || std::fabs(seconds) > 1e11) return "";
  const std::time_t time = static_cast<std::time_t>(std::llround(seconds));
  std::tm parts{};
#ifdef _WIN32
  if (gmtime_s(&parts, &time) != 0) return "";
#else
  if (!gmtime_r(&time, &parts)) return "";
#endif
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
  return text;
}

ordered_json TrailingBlockToJson(const AppSettings& settings) {
  if (!settings.trailingBlock) return nullptr;
  ordered_json entries = ordered_json::array();
  for (const TrailingBlock::Entry& entry : settings.trailingBlock->entries) {
    entries.push_back({{"value", entry.value}, {"text", entry.text}});
  }
  return {{"value", settings.trailingBlock->value}, {"entries", entries}};
}

std::string Line(const std::string& key, const ordered_json& value) {
  if (value.is_string()) return "  " + key + ": " + value.get<std::string>() + "\n";
  return "  " + key + ": " + value.dump(-1, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

// Option names of the set bits, as the configuration spells them.
ordered_json OptionNames(uint32_t optionFlags) {
  static const std::pair<uint32_t, const char*> names[] = {
      {OPT_KEEP_HOST_HIDDEN, "keepHostHidden"}, {OPT_CHECK_HOST_VERSION, "checkHostVersion"},
      {OPT_SHOW_SPLASH, "splash"},              {OPT_SINGLE_INSTANCE, "singleInstance"},
      {OPT_SAVED_STATE, "savedState"},
  };
  ordered_json options = ordered_json::array();
  for (const auto& [bit, name] : names) {
    if (optionFlags & bit) options.push_back(name);
  }
  return options;
}

}  // namespace

ordered_json SettingsToJson(const AppSettings& settings) {
  ordered_json list = ordered_json::array();
  for (const std::u16string& item : settings.reservedList) list.push_back(LenientUtf8(item));
  return {
      {"headerSize", settings.headerSize()},
      {"formatVersion", DottedVersion(settings.formatVersion())},
      {"appVersion", settings.appVersion()},
      {"appVersionText", LenientUtf8(FormatAppVersion(settings.appVersion()))},
      {"optionFlags", settings.optionFlags()},
      {"options", OptionNames(settings.optionFlags())},
      {"settingsMagic", settings.settingsMagic()},
      {"workbookFormat", settings.workbookFormat()},
      {"packTime", settings.packTime()},
      {"appTitle", LenientUtf8(settings.appTitle)},
      {"appInfo", LenientUtf8(settings.appInfo)},
      {"authorContact", LenientUtf8(settings.authorContact)},
      {"startPassword", LenientUtf8(settings.startPassword)},
      {"reservedText1", LenientUtf8(settings.reservedText1)},
      {"reservedText2", LenientUtf8(settings.reservedText2)},
      {"reservedText3", LenientUtf8(settings.reservedText3)},
      {"reservedList", list},
      {"reservedDataSize", settings.reservedData.size()},
      {"trailingBlock", TrailingBlockToJson(settings)},
  };
}

std::string SettingsToText(const AppSettings& settings) {
  std::string text;
  const ordered_json fields = SettingsToJson(settings);
  for (const auto& [key, value] : fields.items()) {
    if (key == "optionFlags" || key == "settingsMagic") {
      std::string line = Hex(value.get<uint32_t>());
      if (key == "settingsMagic") line += value.get<uint32_t>() == kSettingsMagic ? " (valid)" : " (wrong: the launcher refuses to start)";
      text += Line(key, line);
    } else if (key == "packTime") {
      const std::string date = OleDateText(value.get<double>());
      text += Line(key, value.dump() + (date.empty() ? "" : " (" + date + ")"));
    } else if (key == "options") {
      std::string names;
      for (const auto& name : value) names += (names.empty() ? "" : ", ") + name.get<std::string>();
      text += Line(key, names.empty() ? "(none)" : names);
    } else {
      text += Line(key, value);
    }
  }
  return text;
}
