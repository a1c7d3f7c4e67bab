#include "core/payload/workspace_names.h"

#include <algorithm>
#include <stdexcept>

#include "core/text/message_texts.h"
#include "core/encoding/utf.h"

void MakeRandomName(size_t length, std::u16string& name, const std::function<int()>& nextRandom) {
  name.reserve(length);
  while (name.size() < length) {
    int r = nextRandom() % 36;
    char16_t c = r <= 9 ? static_cast<char16_t>(u'0' + r) : static_cast<char16_t>(u'a' + (r - 10));
    bool isDigit = r <= 9;
    if (name.empty() && isDigit) continue;
    if (name.size() >= 2 && c == name[name.size() - 2]) continue;
    name.push_back(c);
  }
}

namespace {

// Only ASCII letters change, so positions in the lower-cased copy match the original;
// the launcher's extension is ASCII.
std::u16string LowerAscii(std::u16string_view text) {
  std::u16string lower(text);
  for (char16_t& c : lower) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + (u'a' - u'A'));
  }
  return lower;
}

std::u16string WorkbookExtension(int32_t workbookFormat) {
  if (workbookFormat == 52) return GetText(TextId::kExtensionXlsm);
  if (workbookFormat == 50) return GetText(TextId::kExtensionXlsb);
  return GetText(TextId::kExtensionXls);
}

}  // namespace

std::u16string ChooseWorkbookFilePath(std::u16string_view folder, std::u16string_view launcherPath,
                                      int32_t workbookFormat,
                                      const std::function<bool(const std::u16string&)>& exists) {
  std::u16string name(launcherPath);
  size_t slash = launcherPath.rfind(u'\\');
  if (slash != std::u16string_view::npos) {
    name = std::u16string(folder);
    if (name.empty() || name.back() != u'\\') name += u'\\';
    name += launcherPath.substr(slash + 1);
  }

  // Only the file-name part is searched: a folder such as C:\tools.exe.d must not take
  // the extension's place and move the workbook out of the workspace.
  const size_t nameStart = slash != std::u16string_view::npos ? name.rfind(u'\\') + 1 : 0;
  const std::u16string fileName = LowerAscii(std::u16string_view(name).substr(nameStart));
  size_t extensionAt = fileName.rfind(GetText(TextId::kLauncherExtension));
  if (extensionAt == std::u16string::npos) return name;
  extensionAt += nameStart;

  std::u16string base = name.substr(0, extensionAt);
  std::u16string extension = WorkbookExtension(workbookFormat);
  std::u16string classic = GetText(TextId::kExtensionXls);
  std::u16string candidate = base + extension;
  for (unsigned number = 1; exists(candidate) || exists(candidate + classic); ++number) {
    std::string suffix = "(" + std::to_string(number) + ")";
    candidate = base + std::u16string(suffix.begin(), suffix.end()) + extension;
  }
  return candidate;
}

bool IsWorkspaceFolderName(std::u16string_view name) {
  if (name.size() != 8 || name[0] < u'a' || name[0] > u'z') return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const char16_t c = name[i];
    if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z'))) return false;
    if (i >= 2 && c == name[i - 2]) return false;
  }
  return true;
}

namespace {

// The file an interrupted save of the host leaves beside the workbook: eight hexadecimal
// digits, without an extension or with ".tmp".
bool IsInterruptedSaveName(const std::u16string& lower) {
  const std::u16string_view stem = std::u16string_view(lower).substr(0, lower.size() == 12 ? 8 : lower.size());
  if (stem.size() != 8 || (lower.size() == 12 && lower.compare(8, 4, u".tmp") != 0)) return false;
  for (char16_t c : stem) {
    if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'))) return false;
  }
  return true;
}

}  // namespace

bool IsWorkspaceFileName(std::u16string_view name) {
  const std::u16string lower = LowerAscii(name);
  if (IsInterruptedSaveName(lower)) return true;
  if (lower == LowerAscii(GetText(TextId::kAddInFileName)) || lower == LowerAscii(GetText(TextId::kStartupInfoFileName))) {
    return true;
  }
  for (int extension : {TextId::kExtensionXls, TextId::kExtensionXlsm, TextId::kExtensionXlsb}) {
    const std::u16string ending = LowerAscii(GetText(extension));
    if (lower.size() > ending.size() && lower.compare(lower.size() - ending.size(), ending.size(), ending) == 0) {
      return true;
    }
  }
  return false;
}

namespace {

// The next field up to a line feed or the end; `rest` moves past it and its line feed.
std::string_view NextField(std::string_view& rest) {
  const size_t lineFeed = rest.find('\n');
  std::string_view field = rest.substr(0, lineFeed);
  rest = lineFeed == std::string_view::npos ? std::string_view() : rest.substr(lineFeed + 1);
  return field;
}

uint32_t DecimalId(std::string_view text) {
  if (text.empty() || text.size() > 10) return 0;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return value > UINT32_MAX ? 0 : static_cast<uint32_t>(value);
}

// The field separator and the carriage return some readers take for one.
bool HoldsLineBreak(std::u16string_view text) { return text.find_first_of(u"\n\r") != std::u16string_view::npos; }

}  // namespace

std::string StartupInfoBytes(std::u16string_view workbookPath, uint32_t launcherProcessId,
                             std::u16string_view launcherPath) {
  if (HoldsLineBreak(workbookPath) || HoldsLineBreak(launcherPath)) {
    throw std::invalid_argument("a path in the start-up information holds a line break");
  }
  std::string bytes = Utf16ToUtf8(workbookPath);
  bytes += '\n' + std::to_string(launcherProcessId) + '\n';
  bytes += Utf16ToUtf8(launcherPath);
  return bytes;
}

StartupInfo ParseStartupInfo(std::string_view bytes) {
  if (std::count(bytes.begin(), bytes.end(), '\n') > 2 || bytes.find('\r') != std::string_view::npos) {
    throw std::runtime_error("the start-up information holds more fields than the launcher writes");
  }
  StartupInfo info;
  info.workbookPath = Utf8ToUtf16(NextField(bytes));
  info.launcherProcessId = DecimalId(NextField(bytes));
  info.launcherPath = Utf8ToUtf16(NextField(bytes));
  return info;
}
