#include "packer/cli.h"

#include <functional>
#include <iostream>
#include <map>
#include <new>
#include <ostream>

#include "packer/config_reference.h"
#include "packer/pack_error.h"
#include "packer/progress.h"

namespace {

const char kUsage[] =
    "usage: sheetpack COMMAND [ARGS] [-q|-v]\n"
    "\n"
    "  build CONFIG.json -o APP.exe [--stub STUB.exe]   write a packaged application\n"
    "  inspect APP.exe [--json]                         list its items and settings\n"
    "  inspect --settings FILE [--json]                 decode a settings record\n"
    "  inspect --saved-state FILE [--json] [--magic HEX] check and decode a saved-state file\n"
    "  extract APP.exe ID [-o FILE] [--raw]             write one item out\n"
    "  put APP.exe ID FILE [--raw|--packed]             replace one item\n"
    "  key APP.exe -o CONFIG.sheetpack-key              recover the application's key file\n"
    "  texts [--json]                                   the launcher's built-in texts, by number\n"
    "\n"
    "  help config                                      every configuration key\n"
    "  --version                                        print sheetpack's version\n"
    "\n"
    "sheetpack COMMAND --help describes a command. Exit codes: 0 success, 1 packing\n"
    "failed (a file could not be written), 2 bad input or usage.\n";

bool IsOptionForEveryCommand(const std::string& arg) {
  return arg == "-q" || arg == "--quiet" || arg == "-v" || arg == "--verbose";
}

}  // namespace

void CommandContext::Warn(const std::string& line) const {
  if (verbosity >= 1) err << "sheetpack: warning: " << line << "\n";
}

void CommandContext::Note(const std::string& line) const {
  if (verbosity >= 2) err << "sheetpack: " << line << "\n";
}

void CommandContext::Say(const std::string& line) const {
  if (verbosity >= 1) out << line << "\n";
}

int RunSheetpack(const std::vector<std::string>& args, const std::filesystem::path& executable,
                 std::ostream& out, std::ostream& err) {
  using Command = std::function<void(const std::vector<std::string>&, CommandContext&)>;
  static const std::map<std::string, Command> commands = {
      {"build", RunBuild}, {"inspect", RunInspect}, {"extract", RunExtract}, {"put", RunPut}, {"key", RunKey},
      {"texts", RunTexts}};

  // Options before the command count as if they followed it: `sheetpack -q build ...`.
  size_t commandAt = 0;
  while (commandAt < args.size() && IsOptionForEveryCommand(args[commandAt])) ++commandAt;
  if (commandAt == args.size()) {
    err << kUsage;
    return static_cast<int>(ExitCode::kBadInput);
  }
  if (commandAt > 0) {
    std::vector<std::string> reordered(args.begin() + commandAt, args.end());
    reordered.insert(reordered.begin() + 1, args.begin(), args.begin() + commandAt);
    return RunSheetpack(reordered, executable, out, err);
  }
  if (args[0] == "--version") {
    out << "sheetpack " << SHEETPACK_VERSION << "\n";
    return static_cast<int>(ExitCode::kSuccess);
  }
  if (args[0] == "help" && args.size() == 2 && args[1] == "config") {
    out << ConfigReference();
    return static_cast<int>(ExitCode::kSuccess);
  }
  if (args[0] == "--help" || args[0] == "-h" || (args[0] == "help" && args.size() == 1)) {
    out << kUsage;
    return static_cast<int>(ExitCode::kSuccess);
  }
  if (args[0] == "help") {
    err << "sheetpack: help knows 'config' only; sheetpack COMMAND --help describes a command\n";
    return static_cast<int>(ExitCode::kBadInput);
  }
  auto command = commands.find(args[0]);
  if (command == commands.end()) {
    err << "sheetpack: unknown command '" << args[0] << "' (see sheetpack --help)\n";
    return static_cast<int>(ExitCode::kBadInput);
  }
  CommandContext context{out, err, executable};
  context.terminal = &err == &std::cerr && StandardErrorIsTerminal();
  try {
    command->second(std::vector<std::string>(args.begin() + 1, args.end()), context);
    return static_cast<int>(ExitCode::kSuccess);
  } catch (const PackError& error) {
    err << "sheetpack: " << error.what() << "\n";
    return static_cast<int>(error.Code());
  } catch (const std::bad_alloc&) {
    err << "sheetpack: out of memory\n";
    return static_cast<int>(ExitCode::kPackingFailed);
  } catch (const std::exception& error) {
    err << "sheetpack: " << error.what() << "\n";
    return static_cast<int>(ExitCode::kPackingFailed);
  }
}
