#include "core/payload/saved_state.h"

#include "core/encoding/byte_io.h"
#include "core/encoding/utf.h"
#include "core/payload/packed_item.h"

namespace {

uint32_t RotateLeft(uint32_t value, unsigned bits) { return (value << bits) | (value >> (32 - bits)); }
uint32_t RotateRight(uint32_t value, unsigned bits) { return (value >> bits) | (value << (32 - bits)); }

struct Header {
  uint32_t magic, headerSize, checkValue;
  uint16_t nameLength;
  uint32_t settingsLength, workbookLength, extraLength;
};

Header ReadHeader(std::string_view bytes) {
  Header header;
  header.magic = ReadU32At(bytes, 0);
  header.headerSize = ReadU32At(bytes, 4);
  header.checkValue = ReadU32At(bytes, 12);
  header.nameLength = ReadU16At(bytes, 24);
  header.settingsLength = ReadU32At(bytes, 28);
  header.workbookLength = ReadU32At(bytes, 32);
  header.extraLength = ReadU32At(bytes, 36);
  return header;
}

}  // namespace

std::u16string SavedStatePath(std::u16string_view launcherPath) {
  size_t folderEnd = launcherPath.find_last_of(u"\\/");
  size_t nameStart = folderEnd == std::u16string_view::npos ? 0 : folderEnd + 1;
  size_t dot = launcherPath.rfind(u'.');
  std::u16string_view stem = dot != std::u16string_view::npos && dot >= nameStart ? launcherPath.substr(0, dot)
                                                                                  : launcherPath;
  return std::u16string(stem) + u".vstg";
}

namespace {

constexpr std::string_view kBesideItem = "beside";

}  // namespace

SavedStateLocation ParseSavedStateLocation(std::string_view item) {
  return item == kBesideItem ? SavedStateLocation::kBeside : SavedStateLocation::kUser;
}

std::string SavedStateLocationItem(SavedStateLocation location) {
  return location == SavedStateLocation::kBeside ? std::string(kBesideItem) : std::string();
}

std::u16string PerUserSavedStateName(std::u16string_view launcherPath, std::u16string_view upperCasedPath) {
  const size_t folderEnd = launcherPath.find_last_of(u"\\/");
  const std::u16string_view name =
      folderEnd == std::u16string_view::npos ? launcherPath : launcherPath.substr(folderEnd + 1);
  const size_t dot = name.rfind(u'.');
  const std::u16string_view stem = dot == std::u16string_view::npos ? name : name.substr(0, dot);
  uint32_t hash = 2166136261u;  // FNV-1a over the UTF-16 code units, low byte first
  for (char16_t unit : upperCasedPath) {
    for (int shift : {0, 8}) {
      hash ^= static_cast<uint8_t>(unit >> shift);
      hash *= 16777619u;
    }
  }
  static const char16_t kHex[] = u"0123456789abcdef";
  std::u16string result(stem);
  result += u'-';
  for (int shift = 28; shift >= 0; shift -= 4) result += kHex[(hash >> shift) & 0xF];
  return result + u".vstg";
}

uint32_t SavedStateCheckValue(uint32_t settingsMagic) {
  return ~RotateLeft(RotateLeft(settingsMagic, 27), 3);
}

std::string CheckSavedStateHeader(std::string_view header, uint64_t fileSize, uint32_t settingsMagic) {
  if (fileSize <= kSavedStateHeaderSize || header.size() < kSavedStateHeaderSize) return "file is not larger than its header";
  Header h = ReadHeader(header);
  if (RotateRight(~h.checkValue, 3) != RotateLeft(settingsMagic, 27)) return "check value does not match the settings magic";
  if (h.magic != kSavedStateMagic) return "wrong magic";
  if (h.headerSize != kSavedStateHeaderSize) return "wrong header size";
  // Summed in 64 bits: lengths that wrap around 32 bits must not add up to the size.
  uint64_t expected = uint64_t{kSavedStateHeaderSize} + h.nameLength + h.settingsLength + h.workbookLength +
                      h.extraLength;
  if (expected != fileSize) return "section lengths do not add up to the file size";
  return {};
}

std::optional<SavedState> ParseSavedState(std::string_view file, uint32_t settingsMagic, std::string* reason) {
  std::string why = CheckSavedStateHeader(file.substr(0, kSavedStateHeaderSize), file.size(), settingsMagic);
  if (why.empty() && ReadHeader(file).settingsLength == 0) why = "settings section is empty";
  if (!why.empty()) {
    if (reason) *reason = why;
    return std::nullopt;
  }
  Header h = ReadHeader(file);
  ByteReader reader(file, kSavedStateHeaderSize);
  SavedState state;
  std::string_view name = reader.Take(h.nameLength);
  state.nameText = std::string(name.substr(0, name.find('\0'))).substr(0, 1023);
  state.settings = std::string(reader.Take(h.settingsLength));
  state.workbook = std::string(reader.Take(h.workbookLength));
  state.extra = std::string(reader.Take(h.extraLength));
  return state;
}

std::string WriteSavedState(const SavedState& state, uint32_t settingsMagic) {
  std::string out;
  AppendU32(out, kSavedStateMagic);
  AppendU32(out, kSavedStateHeaderSize);
  AppendU32(out, 0);
  AppendU32(out, SavedStateCheckValue(settingsMagic));
  AppendU64(out, 0);
  AppendU16(out, static_cast<uint16_t>(state.nameText.size()));
  AppendU16(out, 0);
  AppendU32(out, static_cast<uint32_t>(state.settings.size()));
  AppendU32(out, static_cast<uint32_t>(state.workbook.size()));
  AppendU32(out, static_cast<uint32_t>(state.extra.size()));
  out += state.nameText;
  out += state.settings;
  out += state.workbook;
  out += state.extra;
  return out;
}

std::string WorkbookSavedState(std::string_view workbookFile, std::u16string_view fileName,
                               const std::string& settings, const std::string& workbookDigest,
                               uint32_t settingsMagic) {
  SavedState state;
  state.workbook = PackItem(MarkWorkbook(workbookFile));
  state.settings = settings;
  state.extra = workbookDigest;
  state.nameText = Utf16ToUtf8(fileName);
  return WriteSavedState(state, settingsMagic);
}

std::string WorkbookFileOf(std::string item) {
  InflatePackedItem(item);
  return HasWorkbookMarker(item) ? item.substr(4) : std::string();
}
