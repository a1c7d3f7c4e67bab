// sheetpack inspect: what an application executable carries, or what a raw settings
// record says, as text or JSON.
#include <cstdio>
#include <ostream>

#include <nlohmann/json.hpp>

#include "core/payload/app_settings.h"
#include "core/encoding/byte_io.h"
#include "core/payload/packed_item.h"
#include "core/payload/saved_state.h"
#include "core/payload/saved_state_update.h"
#include "core/text/text_overrides.h"
#include "packer/app_executable.h"
#include "packer/cli.h"
#include "packer/cli_args.h"
#include "packer/file_io.h"
#include "packer/item_table.h"
#include "packer/loader_report.h"
#include "packer/notice_kind.h"
#include "packer/pack_error.h"
#include "packer/settings_report.h"
#include "packer/workbook_report.h"

namespace fs = std::filesystem;
using nlohmann::ordered_json;

namespace {

const CommandSpec kInspect = {
    "inspect",
    "usage: sheetpack inspect APP.exe [--json] [-q|-v]\n"
    "       sheetpack inspect --settings FILE [--json]\n"
    "       sheetpack inspect --saved-state FILE [--json] [--magic HEX]\n"
    "\n"
    "Lists every packed item of an application executable (id, language, stored size,\n"
    "container or plain, inflated size) and decodes its settings record, text overrides,\n"
    "start notice and the VBA source of its loader workbook. With --settings, decodes a\n"
    "settings record stored in FILE (packed or plain, any header layout). With\n"
    "--saved-state, checks a saved-state file as the launcher does and decodes the\n"
    "settings it carries; the exit code is 0 whether or not the file is valid.\n"
    "\n"
    "  --json       print one JSON object instead of text\n"
    "  --magic HEX  the settings magic the check value must match (default 0EA21246)\n",
    1, 1, {"--json", "--settings", "--saved-state"}, {"--magic"}};

std::string Dump(const ordered_json& value) {
  return value.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

ordered_json ItemToJson(uint32_t id, uint32_t language, const std::string& stored) {
  ordered_json item = {{"id", id}, {"name", ItemName(id)}, {"language", language}, {"storedSize", stored.size()}};
  if (!HasContainerMagic(stored)) {
    item["form"] = "plain";
    item["inflatedSize"] = nullptr;
    return item;
  }
  std::string unpacked;
  const bool unpacks = UnpackContainer(stored, unpacked);
  item["form"] = "container";
  // A container that does not unpack (item 1200 is one by design) shows its header's size.
  item["inflatedSize"] = unpacks ? unpacked.size() : ReadU32At(stored, 16);
  item["unpacks"] = unpacks;
  return item;
}

std::string ItemLine(const ordered_json& item) {
  char line[160];
  const std::string inflated = item["inflatedSize"].is_null() ? "-" : item["inflatedSize"].dump();
  std::snprintf(line, sizeof line, "  %-6s %-17s %-9s %-10s %-10s %s%s\n", item["id"].dump().c_str(),
                item["name"].get<std::string>().c_str(), item["language"].dump().c_str(), item["storedSize"].dump().c_str(),
                item["form"].get<std::string>().c_str(), inflated.c_str(),
                item.value("unpacks", true) ? "" : " (does not unpack)");
  return line;
}

ordered_json Texts(const std::string& stored) {
  std::string bytes = stored;
  InflatePackedItem(bytes);
  TextOverrideTable table;
  table.LoadTextOverrides(bytes);
  ordered_json texts = ordered_json::object();
  for (const auto& [key, text] : table.Texts()) texts[std::to_string(key)] = text;
  return texts;
}

void InspectSettingsFile(const fs::path& file, bool json, CommandContext& context) {
  std::string blob = ReadFileBytes(file);
  AppSettings settings;
  ParseAppSettings(blob, settings);
  if (json) {
    context.out << Dump(SettingsToJson(settings));
  } else {
    context.out << PathToUtf8(file) << ": settings record\n" << SettingsToText(settings);
  }
}

uint32_t ParseMagic(const std::optional<std::string>& text) {
  if (!text) return kSettingsMagic;
  size_t used = 0;
  unsigned long value = 0;
  try {
    value = std::stoul(*text, &used, 16);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != text->size() || value > 0xFFFFFFFFul) {
    throw BadInput(*text, "--magic takes a hexadecimal number of at most 8 digits");
  }
  return static_cast<uint32_t>(value);
}

void InspectSavedStateFile(const fs::path& file, uint32_t settingsMagic, bool json, CommandContext& context) {
  const std::string bytes = ReadFileBytes(file);
  std::string reason;
  const std::optional<SavedState> saved = ParseSavedState(bytes, settingsMagic, &reason);
  ordered_json report = {{"file", PathToUtf8(file)}, {"valid", saved.has_value()}};
  AppSettings settings;
  if (saved) {
    std::string blob = saved->settings;
    ParseAppSettings(blob, settings);
    report["nameText"] = saved->nameText;
    report["workbookSize"] = saved->workbook.size();
    report["extraSize"] = saved->extra.size();
    report["settings"] = SettingsToJson(settings);
  } else {
    report["reason"] = reason;
  }
  if (json) {
    context.out << Dump(report);
    return;
  }
  std::ostream& out = context.out;
  out << PathToUtf8(file) << ": saved state, " << (saved ? "valid" : "not valid: " + reason) << "\n";
  if (!saved) return;
  out << "  name: " << saved->nameText << "\n  workbook: " << saved->workbook.size()
      << " bytes\n  extra: " << saved->extra.size() << " bytes\nsettings:\n" << SettingsToText(settings);
}

void InspectExecutable(const fs::path& file, bool json, CommandContext& context) {
  const LoadedExecutable executable = LoadExecutable(file);
  // A signature in the certificate table; whether it verifies is signtool's or osslsigncode's call.
  const bool signedImage = executable.image.Directory(kDirectorySecurity).size != 0;
  ordered_json report = {
      {"file", PathToUtf8(file)}, {"machine", MachineName(executable.image.Machine())}, {"signed", signedImage}};
  ordered_json items = ordered_json::array();
  std::string settingsBlob;
  std::string textsItem;
  std::string noticeItem;
  std::string loaderItem;
  std::string workbookItem;
  std::string keyItem;
  std::string updatePolicyItem;
  std::string identityItem;
  if (const NameTable* packed = PackedItems(executable.tree)) {
    for (const auto& [name, languages] : *packed) {
      if (name.IsNamed()) continue;  // the launcher looks items up by number only
      for (const auto& [language, data] : languages) items.push_back(ItemToJson(name.Id(), language, data.bytes));
      const std::string& first = languages.begin()->second.bytes;
      if (name.Id() == ItemId::kSettings) settingsBlob = first;
      if (name.Id() == ItemId::kTextOverrides) textsItem = first;
      if (name.Id() == ItemId::kNotice) noticeItem = first;
      if (name.Id() == ItemId::kLoaderWorkbook) loaderItem = first;
      if (name.Id() == ItemId::kWorkbook) workbookItem = first;
      if (name.Id() == ItemId::kWorkbookKey) keyItem = first;
      if (name.Id() == ItemId::kUpdatePolicy) updatePolicyItem = first;
      if (name.Id() == ItemId::kAppIdentity) identityItem = first;
    }
  }
  report["items"] = items;
  AppSettings settings;
  if (!settingsBlob.empty()) ParseAppSettings(settingsBlob, settings);
  report["settings"] = settingsBlob.empty() ? ordered_json(nullptr) : SettingsToJson(settings);
  report["texts"] = Texts(textsItem);
  InflatePackedItem(noticeItem);
  report["notice"] = NoticeKindName(ClassifyNotice(noticeItem));
  report["loader"] = LoaderToJson(loaderItem);
  report["workbook"] = WorkbookProtectionToJson(workbookItem, keyItem);
  report["onUpdate"] = UpdatePolicyName(ReadUpdatePolicy(updatePolicyItem));
  report["application"] = ApplicationToJson(identityItem);

  if (json) {
    context.out << Dump(report);
    return;
  }
  std::ostream& out = context.out;
  out << PathToUtf8(file) << ": " << report["machine"].get<std::string>() << ", " << items.size()
      << " packed items, " << (signedImage ? "signed (Authenticode)" : "not signed") << "\n";
  out << "  id     name              language  stored     form       inflated\n";
  for (const ordered_json& item : items) out << ItemLine(item);
  out << "settings (item 1100):\n" << (settingsBlob.empty() ? "  (none)\n" : SettingsToText(settings));
  out << "texts (item 1035):" << (report["texts"].empty() ? " (none)" : "") << "\n";
  for (const auto& [key, text] : report["texts"].items()) out << "  " << key << ": " << text.get<std::string>() << "\n";
  out << "notice (item 1105): " << report["notice"].get<std::string>() << "\n";
  out << "onUpdate (item 1230): " << report["onUpdate"].get<std::string>() << "\n";
  out << ApplicationToText(report["application"]);
  out << LoaderToText(report["loader"]);
  out << WorkbookProtectionToText(report["workbook"]);
}

}  // namespace

void RunInspect(const std::vector<std::string>& argv, CommandContext& context) {
  const ParsedArgs args = ParseArgs(kInspect, argv, context);
  if (args.help) {
    context.out << kInspect.help;
    return;
  }
  const fs::path file = PathFromUtf8(args.positional[0]);
  if (args.Has("--settings") && args.Has("--saved-state")) {
    throw BadInput("inspect", "--settings and --saved-state exclude each other");
  }
  if (args.Has("--saved-state")) {
    InspectSavedStateFile(file, ParseMagic(args.Value("--magic")), args.Has("--json"), context);
  } else if (args.Has("--settings")) {
    InspectSettingsFile(file, args.Has("--json"), context);
  } else {
    InspectExecutable(file, args.Has("--json"), context);
  }
}
