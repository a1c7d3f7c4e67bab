#include "packer/loader_report.h"

#include "core/payload/packed_item.h"
#include "office/loader_format_error.h"
#include "office/vba_project.h"

using nlohmann::ordered_json;

ordered_json LoaderToJson(const std::string& storedItem) {
  if (storedItem.empty()) return nullptr;
  std::string xls = storedItem;
  InflatePackedItem(xls);
  ordered_json modules = ordered_json::array();
  try {
    for (const VbaModule& module : ReadWorkbookModules(xls)) {
      modules.push_back({{"name", module.name}, {"source", module.source}});
    }
  } catch (const LoaderFormatError& error) {
    return {{"error", error.what()}};
  }
  return {{"modules", modules}};
}

std::string LoaderToText(const ordered_json& loader) {
  if (loader.is_null()) return "loader (item 1018): (none)\n";
  if (loader.contains("error")) return "loader (item 1018): no readable VBA project: " + loader["error"].get<std::string>() + "\n";
  std::string text;
  for (const ordered_json& module : loader["modules"]) {
    text += "loader (item 1018), module " + module["name"].get<std::string>() + ":\n";
    std::string source = module["source"].get<std::string>();
    size_t start = 0;
    while (start < source.size()) {
      size_t end = source.find('\n', start);
      if (end == std::string::npos) end = source.size();
      std::string line = source.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      text += "    " + line + "\n";
      start = end + 1;
    }
  }
  return text;
}
