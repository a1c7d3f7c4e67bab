#pragma once
// The two scans of the launcher's arguments (argv[0] included): cleanup mode first,
// then the run function's switches.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct CleanupRequest {
  bool active = false;
  std::u16string first;    // -clnx: the workbook file
  std::u16string second;   // -clnd: the add-in file, whose folder goes too
  // -clnp: the value of a handle of the host's process that this process inherited; the
  // files go only once that process has ended. 0 when not a number.
  bool waitsForHost = false;
  uint64_t hostProcess = 0;
};

CleanupRequest ScanCleanupMode(const std::vector<std::u16string>& args);

// The watcher's command line: the program quoted, -clnp with the host process handle's
// value, then -clnx and -clnd each only with a path (an empty one would end the scan
// and turn cleanup into a new launch). Paths are taken whole, of any length.
std::u16string CleanupCommandLine(std::u16string_view program, uint64_t hostProcess,
                                  std::u16string_view workbook, std::u16string_view addIn);

struct RunArguments {
  std::u16string password;   // -p / -P
  bool testFlag = false;     // -xlstest
  uint32_t silentStart = 0;  // 0 means absent
};

// `silentPrefix` is the silent-start switch; only its first six characters count.
RunArguments ScanRunArguments(const std::vector<std::u16string>& args,
                              std::u16string_view silentPrefix);

// The C library's _wcstoi64 with base 16: leading white space, a sign and a 0x prefix
// are accepted, conversion stops at the first non-hex digit; out of range saturates.
int64_t ParseHexLikeWcstoi64(std::u16string_view text);
