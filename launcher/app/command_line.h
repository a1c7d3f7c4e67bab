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
};

CleanupRequest ScanCleanupMode(const std::vector<std::u16string>& args);

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
