#include "packer/cli_args.h"

#include <cstdint>

#include "packer/cli.h"
#include "packer/pack_error.h"

namespace {

PackError Usage(const CommandSpec& command, const std::string& problem) {
  return BadInput(command.name, problem + " (see sheetpack " + command.name + " --help)");
}

}  // namespace

std::optional<std::string> ParsedArgs::Value(const std::string& option) const {
  auto it = values.find(option);
  if (it == values.end()) return std::nullopt;
  return it->second;
}

ParsedArgs ParseArgs(const CommandSpec& command, const std::vector<std::string>& args, CommandContext& context) {
  ParsedArgs parsed;
  bool optionsEnded = false;
  bool quiet = false;
  bool verbose = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      parsed.positional.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      parsed.help = true;
    } else if (arg == "-q" || arg == "--quiet") {
      quiet = true;
    } else if (arg == "-v" || arg == "--verbose") {
      verbose = true;
    } else if (command.flags.count(arg)) {
      parsed.flags.insert(arg);
    } else if (command.valueOptions.count(arg)) {
      if (i + 1 == args.size()) throw Usage(command, arg + " needs a value");
      parsed.values[arg] = args[++i];
    } else {
      throw Usage(command, "unknown option " + arg);
    }
  }
  if (quiet && verbose) throw Usage(command, "-q and -v exclude each other");
  if (quiet) context.verbosity = 0;
  if (verbose) context.verbosity = 2;
  if (parsed.help) return parsed;
  if (parsed.positional.size() < command.minPositional) throw Usage(command, "missing arguments");
  if (parsed.positional.size() > command.maxPositional) throw Usage(command, "too many arguments");
  return parsed;
}

uint32_t ParseItemId(const CommandSpec& command, const std::string& text) {
  uint32_t id = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || id > 0xFFFF) throw Usage(command, "'" + text + "' is not an item id");
    id = id * 10 + static_cast<uint32_t>(c - '0');
  }
  if (text.empty() || id == 0 || id > 0xFFFF) throw Usage(command, "'" + text + "' is not an item id (1 to 65535)");
  return id;
}
