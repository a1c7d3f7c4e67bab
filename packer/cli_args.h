#pragma once
// A small argument parser shared by the commands: positional arguments, flags, and
// options that take a value ("-o FILE"). -q, -v and --help are known to every command.
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct CommandSpec {
  const char* name;  // "build"
  const char* help;  // the full --help text
  size_t minPositional;
  size_t maxPositional;
  std::set<std::string> flags;
  std::set<std::string> valueOptions;
};

struct ParsedArgs {
  std::vector<std::string> positional;
  std::set<std::string> flags;
  std::map<std::string, std::string> values;
  bool help = false;

  bool Has(const std::string& flag) const { return flags.count(flag) != 0; }
  std::optional<std::string> Value(const std::string& option) const;
};

struct CommandContext;

// Throws PackError (bad input) for an unknown option, a missing value or a wrong number
// of arguments. Applies -q and -v to `context`.
ParsedArgs ParseArgs(const CommandSpec& command, const std::vector<std::string>& args, CommandContext& context);

// A resource id given on the command line: 1 to 65535.
uint32_t ParseItemId(const CommandSpec& command, const std::string& text);
