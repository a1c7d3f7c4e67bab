#pragma once
// The sheetpack command line: `build`, `inspect`, `extract`, `put`, `key` and `texts`.
#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

// What every command writes to, and how much.
struct CommandContext {
  std::ostream& out;
  std::ostream& err;
  std::filesystem::path executable;  // sheetpack itself, for finding its stubs
  int verbosity = 1;                 // 0 with -q (errors only), 2 with -v
  bool terminal = false;             // `err` is a terminal: long work shows its progress there

  void Warn(const std::string& line) const;   // on err, unless -q
  void Note(const std::string& line) const;   // on err, with -v
  void Say(const std::string& line) const;    // on out, unless -q: what a command has written
};

// Runs one command line (the arguments after the program name, UTF-8) and returns the
// exit code: 0 success, 1 packing failed, 2 bad input or usage. Failures are reported
// as one line on `err`.
int RunSheetpack(const std::vector<std::string>& args, const std::filesystem::path& executable,
                 std::ostream& out, std::ostream& err);

// The commands, each given its own arguments (after the command name).
void RunBuild(const std::vector<std::string>& args, CommandContext& context);
void RunInspect(const std::vector<std::string>& args, CommandContext& context);
void RunExtract(const std::vector<std::string>& args, CommandContext& context);
void RunPut(const std::vector<std::string>& args, CommandContext& context);
void RunKey(const std::vector<std::string>& args, CommandContext& context);
void RunTexts(const std::vector<std::string>& args, CommandContext& context);
