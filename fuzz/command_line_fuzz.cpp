// The launcher's own command line: both scans over any arguments, and the hexadecimal
// reading of the silent-start value, checked against the C library's wcstoll.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "launcher/app/command_line.h"
#include "core/text/message_texts.h"
#include "core/encoding/utf.h"

namespace {

// Arguments are UTF-16 texts separated by a zero unit, so empty arguments occur too.
std::vector<std::u16string> SplitArguments(const std::u16string& units) {
  std::vector<std::u16string> args;
  size_t start = 0;
  for (size_t end; (end = units.find(u'\0', start)) != std::u16string::npos; start = end + 1) {
    args.push_back(units.substr(start, end - start));
  }
  args.push_back(units.substr(start));
  return args;
}

// For plain ASCII the reading must be the C library's; beyond ASCII the libraries'
// idea of white space differs, so those texts are left out.
void CheckAgainstWcstoll(std::u16string_view text) {
  std::wstring wide;
  for (char16_t c : text) {
    if (c == 0 || c >= 0x80) return;
    wide.push_back(static_cast<wchar_t>(c));
  }
  errno = 0;
  const long long expected = std::wcstoll(wide.c_str(), nullptr, 16);
  FUZZ_CHECK(ParseHexLikeWcstoi64(text) == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::u16string> args =
      SplitArguments(Utf16LeBytesToString(std::string_view(reinterpret_cast<const char*>(data), size)));

  const CleanupRequest cleanup = ScanCleanupMode(args);
  // Cleanup mode always has something to act on: a file, or the host's process to wait for
  // (a watcher whose launch left no file still must not start the application).
  FUZZ_CHECK(!cleanup.active || !cleanup.first.empty() || !cleanup.second.empty() || cleanup.waitsForHost);

  ScanRunArguments(args, GetText(TextId::kSilentStartPrefix));
  for (const std::u16string& arg : args) CheckAgainstWcstoll(arg);
  return 0;
}
