// sheetpack texts: the texts the launcher shows as built in, each beside the number of
// the configuration's "texts" table that replaces it, so that an author translating an
// application sees what there is to translate (the question after an update among them)
// without reading the launcher.
#include <nlohmann/json.hpp>

#include "core/text/message_texts.h"
#include "packer/cli.h"
#include "packer/cli_args.h"
#include "packer/config_reference.h"

namespace {

const CommandSpec kTexts = {
    "texts",
    "usage: sheetpack texts [--json]\n"
    "\n"
    "Prints the texts the launcher shows, as built in, each under the number of the\n"
    "configuration's \"texts\" table that replaces it (\\n in a text is a line break).\n"
    "\n"
    "  --json   one JSON object: \"texts\", an array of {\"number\", \"replaces\", \"text\"}\n"
    "           (\"text\" null where nothing is built in)\n",
    0, 0, {"--json"}, {}};

constexpr size_t kColumn = 6;

std::string BuiltIn(const OverrideHelp& number) {
  return number.builtIn < 0 ? std::string() : GetTextUtf8(number.builtIn);
}

}  // namespace

void RunTexts(const std::vector<std::string>& argv, CommandContext& context) {
  const ParsedArgs args = ParseArgs(kTexts, argv, context);
  if (args.help) {
    context.out << kTexts.help;
    return;
  }
  if (args.Has("--json")) {
    nlohmann::json texts = nlohmann::json::array();
    for (const OverrideHelp& number : OverrideNumbers()) {
      nlohmann::json text = number.builtIn < 0 ? nlohmann::json() : nlohmann::json(BuiltIn(number));
      texts.push_back({{"number", number.key}, {"replaces", number.text}, {"text", text}});
    }
    context.out << nlohmann::json{{"texts", texts}}.dump(2) << "\n";
    return;
  }
  context.out << "The launcher's built-in texts, each under the number that replaces it in the\n"
                 "configuration's \"texts\" table (\\n is a line break):\n";
  for (const OverrideHelp& number : OverrideNumbers()) {
    const std::string shown = std::to_string(number.key);
    context.out << "\n" << shown << std::string(kColumn - shown.size(), ' ') << number.text << "\n"
                << std::string(kColumn, ' ') << (number.builtIn < 0 ? "(none built in)" : BuiltIn(number)) << "\n";
  }
}
