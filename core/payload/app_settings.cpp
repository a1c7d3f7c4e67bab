#include "core/payload/app_settings.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include "core/encoding/byte_io.h"
#include "core/payload/packed_item.h"
#include "core/encoding/text_code.h"
#include "core/encoding/utf.h"

namespace {

using Header = std::array<uint8_t, kCurrentHeaderSize>;

// Layout versions at which the 104-byte header changed meaning.
constexpr uint32_t kWideReservedLengthFrom = 0x02010409;  // reserved data length became u32
constexpr uint32_t kCurrentLayoutFrom = 0x02040000;       // option bits became u32
constexpr uint32_t kTrailingTextsFrom = 0x02000001;
constexpr size_t kReservedBlockSize = 12;

// One field of an old header moved to its current offset. A narrower source in a wider
// current field leaves the high bytes zero.
struct Move {
  uint8_t from;
  uint8_t to;
  uint8_t width;
};

const std::vector<Move> kLayout24 = {{4, 4, 4}, {8, 8, 4}, {12, 12, 4}, {16, 24, 2}, {18, 28, 1},
                                     {20, 30, 2}};
const std::vector<Move> kLayout28 = {{4, 4, 4},  {8, 8, 4},   {12, 12, 4}, {16, 16, 4},
                                     {20, 24, 2}, {22, 28, 1}, {24, 30, 2}};
const std::vector<Move> kLayout72 = {{4, 4, 4},   {8, 8, 4},   {12, 12, 4}, {16, 16, 4},
                                     {20, 20, 4}, {24, 24, 2}, {26, 28, 1}, {28, 30, 2},
                                     {32, 32, 4}, {36, 36, 4}, {40, 40, 4}, {44, 44, 2},
                                     {48, 56, 8}, {56, 64, 2}, {60, 68, 4}, {64, 72, 2},
                                     {68, 76, 4}};
const std::vector<Move> kLayout80Extra = {{72, 80, 4}, {76, 84, 4}};
// 104 bytes before 2.4: 16-bit option bits and a title length one byte lower.
const std::vector<Move> kLayout104Old = {
    {4, 4, 4},   {8, 8, 4},   {12, 12, 4}, {16, 16, 4}, {20, 20, 4}, {24, 24, 2},
    {26, 28, 1}, {28, 30, 2}, {32, 32, 4}, {36, 36, 4}, {40, 40, 4}, {44, 44, 2},
    {46, 46, 2}, {48, 48, 2}, {56, 56, 8}, {64, 64, 2}, {68, 68, 4}, {72, 72, 2},
    {76, 76, 4}, {80, 80, 4}, {84, 84, 4}, {88, 88, 4}, {92, 92, 4}, {96, 96, 1}};

void ApplyMoves(const Header& from, Header& to, const std::vector<Move>& moves) {
  for (const Move& m : moves) std::memcpy(to.data() + m.to, from.data() + m.from, m.width);
}

uint32_t HeaderU32(const Header& h, size_t offset) {
  return ReadU32At(std::string_view(reinterpret_cast<const char*>(h.data()), h.size()), offset);
}

uint16_t HeaderU16(const Header& h, size_t offset) {
  return ReadU16At(std::string_view(reinterpret_cast<const char*>(h.data()), h.size()), offset);
}

// Turns whatever header the record starts with into the current layout.
Header ConvertHeader(const Header& candidate) {
  const uint16_t size = HeaderU16(candidate, 0);
  const uint32_t version = HeaderU32(candidate, 92);
  if (size == kCurrentHeaderSize && (version == 0 || version >= kCurrentLayoutFrom)) {
    return candidate;
  }

  Header converted{};
  converted[0] = candidate[0];
  converted[1] = candidate[1];
  if (size == 24) {
    ApplyMoves(candidate, converted, kLayout24);
  } else if (size == 28) {
    ApplyMoves(candidate, converted, kLayout28);
  } else if (size == 72 || size == 80) {
    ApplyMoves(candidate, converted, kLayout72);
    if (size == 80) ApplyMoves(candidate, converted, kLayout80Extra);
  } else if (size == kCurrentHeaderSize) {
    ApplyMoves(candidate, converted, kLayout104Old);
    if (version >= kWideReservedLengthFrom) std::memcpy(&converted[64], &candidate[64], 4);
  } else if (size < kCurrentHeaderSize) {
    std::copy(candidate.begin(), candidate.begin() + size, converted.begin());
  }
  return converted;
}

// A length-prefixed field: taken only when it is non-empty and fits what is left;
// otherwise skipped without moving the read position.
std::optional<std::string_view> TakeField(ByteReader& reader, int64_t length) {
  if (length <= 0 || static_cast<uint64_t>(length) > reader.Remaining()) return std::nullopt;
  return reader.Take(static_cast<size_t>(length));
}

std::u16string DecodeTextCodeField(std::string_view stored) {
  std::string bytes;
  DecodeTextCode(stored, bytes);
  return Utf16LeBytesToString(bytes);
}

std::vector<std::u16string> SplitList(const std::u16string& text) {
  std::vector<std::u16string> items;
  size_t start = 0;
  while (start <= text.size()) {
    size_t bar = text.find(u'|', start);
    if (bar == std::u16string::npos) bar = text.size();
    if (bar > start) items.push_back(text.substr(start, bar - start));
    start = bar + 1;
  }
  return items;
}

// The count and every length are checked against the record's end: an entry that does
// not fit ends the block.
TrailingBlock ReadTrailingBlock(ByteReader& reader, bool withTexts) {
  TrailingBlock block;
  block.value = reader.U32();
  const uint32_t count = reader.U32();
  for (uint32_t i = 0; i < count; ++i) {
    if (reader.Remaining() < 4) break;
    TrailingBlock::Entry entry;
    entry.value = reader.U32();
    if (withTexts) {
      if (reader.Remaining() < 4) break;
      const uint32_t length = reader.U32();
      if (length > reader.Remaining()) break;
      entry.text = std::string(reader.Take(length));
    }
    block.entries.push_back(std::move(entry));
  }
  return block;
}

}  // namespace

uint16_t AppSettings::headerSize() const { return HeaderU16(header, 0); }
uint32_t AppSettings::appVersion() const { return HeaderU32(header, 4); }
uint32_t AppSettings::optionFlags() const { return HeaderU32(header, 24); }
uint32_t AppSettings::settingsMagic() const { return HeaderU32(header, 68); }
int32_t AppSettings::workbookFormat() const { return static_cast<int32_t>(HeaderU32(header, 84)); }
uint32_t AppSettings::formatVersion() const { return HeaderU32(header, 92); }

double AppSettings::packTime() const {
  return ByteReader(std::string_view(reinterpret_cast<const char*>(header.data()), header.size()), 56)
      .F64();
}

void ParseAppSettings(std::string& blob, AppSettings& settings) {
  InflatePackedItem(blob);

  Header candidate{};
  std::copy_n(blob.begin(), std::min(blob.size(), candidate.size()), candidate.begin());
  const Header h = ConvertHeader(candidate);
  const uint16_t size = HeaderU16(h, 0);
  // A shorter header only describes its own bytes; the rest keeps earlier values.
  std::copy_n(h.begin(), std::min<size_t>(size, kCurrentHeaderSize), settings.header.begin());

  ByteReader reader(blob, size);
  if (auto f = TakeField(reader, h[28])) settings.appTitle = Utf16LeBytesToString(*f);
  if (auto f = TakeField(reader, HeaderU16(h, 30))) settings.appInfo = Utf16LeBytesToString(*f);
  if (auto f = TakeField(reader, HeaderU32(h, 32))) settings.reservedText1 = DecodeTextCodeField(*f);
  if (auto f = TakeField(reader, HeaderU32(h, 36))) settings.reservedText2 = Utf16LeBytesToString(*f);
  if (auto f = TakeField(reader, HeaderU32(h, 40))) {
    settings.reservedList = SplitList(Utf16LeBytesToString(*f));
  }
  if (auto f = TakeField(reader, HeaderU32(h, 64))) settings.reservedData = std::string(*f);
  if (auto f = TakeField(reader, static_cast<int16_t>(HeaderU16(h, 72)))) {
    std::u16string contact = Utf16LeBytesToString(*f);
    if (!contact.empty()) settings.authorContact = std::move(contact);
  }

  settings.reservedBlock.fill(0);
  const std::string_view block = reader.Take(kReservedBlockSize);
  std::copy(block.begin(), block.end(), settings.reservedBlock.begin());

  if (auto f = TakeField(reader, HeaderU32(h, 76))) settings.startPassword = DecodeTextCodeField(*f);
  if (auto f = TakeField(reader, HeaderU32(h, 80))) settings.reservedText3 = DecodeTextCodeField(*f);

  if (reader.Remaining() >= 2) {
    // A layout version of 0 counts as current here as it does for the header.
    const uint32_t version = HeaderU32(h, 92);
    settings.trailingBlock = ReadTrailingBlock(reader, version == 0 || version >= kTrailingTextsFrom);
  }
}

std::u16string FormatAppVersion(uint32_t version) {
  char text[32];
  std::snprintf(text, sizeof text, "%d.%d.%d", static_cast<int>(version >> 24),
                static_cast<int>((version >> 16) & 0xFF), static_cast<int>((version >> 8) & 0xFF));
  return WidenBytes(text);
}

std::string WriteAppSettings(const AppSettingsRecord& record) {
  const std::string title = StringToUtf16LeBytes(record.appTitle);
  const std::string info = StringToUtf16LeBytes(record.appInfo);
  const std::string contact = StringToUtf16LeBytes(record.authorContact);
  const std::string password = EncodeTextCode(StringToUtf16LeBytes(record.startPassword));
  // The length fields are narrow; a text that does not fit must not be cut silently.
  if (title.size() > 0xFF) throw std::invalid_argument("appTitle is longer than 127 characters");
  if (info.size() > 0xFFFF) throw std::invalid_argument("appInfo is longer than 32767 characters");
  if (contact.size() > 0x7FFF) {
    throw std::invalid_argument("authorContact is longer than 16383 characters");
  }

  std::string out(kCurrentHeaderSize, '\0');
  StoreU16At(out, 0, kCurrentHeaderSize);
  StoreU32At(out, 4, record.appVersion);
  StoreU32At(out, 24, record.optionFlags);
  out[28] = static_cast<char>(title.size());
  StoreU16At(out, 30, static_cast<uint16_t>(info.size()));
  std::string packTime;
  AppendF64(packTime, record.packTime);
  out.replace(56, 8, packTime);
  StoreU32At(out, 68, record.settingsMagic);
  StoreU16At(out, 72, static_cast<uint16_t>(contact.size()));
  StoreU32At(out, 76, static_cast<uint32_t>(password.size()));
  StoreU32At(out, 84, static_cast<uint32_t>(record.workbookFormat));
  StoreU32At(out, 92, record.formatVersion);

  out += title;
  out += info;
  out += contact;
  out.append(kReservedBlockSize, '\0');
  out += password;
  return out;
}
