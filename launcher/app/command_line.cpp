#include "launcher/app/command_line.h"

#include <limits>

namespace {

char16_t FoldAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

// Like a bounded case-insensitive compare of C strings: the first n characters of
// both must match, and a string shorter than n must end where the other ends.
bool StartsEqualIgnoringCase(std::u16string_view text, std::u16string_view pattern, size_t n) {
  return EqualsIgnoringCase(text.substr(0, n), pattern.substr(0, n));
}

bool IsCSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Decimal digits only; 0 (never a handle) for anything else or a value out of range.
uint64_t ParseHandleValue(std::u16string_view text) {
  uint64_t value = 0;
  if (text.empty() || text.size() > 19) return 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return 0;
    value = value * 10 + static_cast<uint64_t>(c - u'0');
  }
  return value;
}

constexpr size_t kTestSwitchLength = 8;
constexpr size_t kSilentPrefixLength = 6;

}  // namespace

CleanupRequest ScanCleanupMode(const std::vector<std::u16string>& args) {
  CleanupRequest request;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::u16string& arg = args[i];
    const bool first = EqualsIgnoringCase(arg, u"-clnx");
    const bool host = EqualsIgnoringCase(arg, u"-clnp");
    if (!first && !host && !EqualsIgnoringCase(arg, u"-clnd")) continue;
    // A switch without its path ends the scan; paths found before it still count.
    if (i + 1 >= args.size() || args[i + 1].empty()) break;
    if (host) {
      request.waitsForHost = true;
      request.hostProcess = ParseHandleValue(args[i + 1]);
    } else {
      (first ? request.first : request.second) = args[i + 1];
    }
    request.active = true;
    ++i;
  }
  return request;
}

std::u16string CleanupCommandLine(std::u16string_view program, uint64_t hostProcess,
                                  std::u16string_view workbook, std::u16string_view addIn) {
  auto quoted = [](std::u16string_view text) { return u"\"" + std::u16string(text) + u"\""; };
  const std::string handle = std::to_string(hostProcess);
  std::u16string line = quoted(program) + u" -clnp " + std::u16string(handle.begin(), handle.end());
  if (!workbook.empty()) line += u" -clnx " + quoted(workbook);
  if (!addIn.empty()) line += u" -clnd " + quoted(addIn);
  return line;
}

RunArguments ScanRunArguments(const std::vector<std::u16string>& args,
                              std::u16string_view silentPrefix) {
  RunArguments result;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::u16string& arg = args[i];
    if ((arg == u"-p" || arg == u"-P") && i + 1 < args.size()) {
      // The value is not skipped: it is looked at as an argument of its own too.
      result.password = args[i + 1];
    } else if (StartsEqualIgnoringCase(arg, u"-xlstest", kTestSwitchLength)) {
      result.testFlag = true;
    } else if (StartsEqualIgnoringCase(arg, silentPrefix, kSilentPrefixLength)) {
      const std::u16string_view rest =
          arg.size() > kSilentPrefixLength ? std::u16string_view(arg).substr(kSilentPrefixLength)
                                           : std::u16string_view();
      result.silentStart = static_cast<uint32_t>(ParseHexLikeWcstoi64(rest));
    }
  }
  return result;
}

int64_t ParseHexLikeWcstoi64(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  if (i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) i += 2;

  uint64_t value = 0;
  bool overflow = false;
  for (int digit; i < text.size() && (digit = HexDigit(text[i])) >= 0; ++i) {
    if (value > (std::numeric_limits<uint64_t>::max() >> 4)) overflow = true;
    value = value << 4 | static_cast<uint64_t>(digit);
  }

  // Out of range saturates towards the sign, as the C library does.
  constexpr uint64_t kMaxPositive = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  if (negative) {
    if (overflow || value > kMaxPositive + 1) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(0 - value);
  }
  if (overflow || value > kMaxPositive) return std::numeric_limits<int64_t>::max();
  return static_cast<int64_t>(value);
}
