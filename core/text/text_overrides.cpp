#include "core/text/text_overrides.h"

#include <stdexcept>

#include "core/encoding/byte_io.h"
#include "core/encoding/utf.h"

namespace {

constexpr uint32_t kTableHeaderSize = 12;
constexpr size_t kMaxTextBytes = 131070;

}  // namespace

void TextOverrideTable::LoadTextOverrides(std::string_view item) {
  // The usual placeholder is a single byte: no table.
  if (item.size() < kTableHeaderSize) return;
  ByteReader reader(item);
  const uint32_t headerSize = reader.U32();
  const uint32_t count = reader.U32();
  // Entries start after the whole header, however large it claims to be.
  reader = ByteReader(item, headerSize < item.size() ? headerSize : item.size());

  int32_t key = 0;
  for (uint32_t i = 0; i < count && !reader.AtEnd(); ++i) {
    if (reader.Remaining() >= 4) key = static_cast<int32_t>(reader.U32());
    const uint32_t length = reader.U32();
    // A length beyond the data means the table was cut short; what came before stands.
    if (length > reader.Remaining()) break;
    std::string_view text = reader.Take(length);
    text = text.substr(0, text.find('\0'));
    if (text.size() > kMaxTextBytes) text = text.substr(0, kMaxTextBytes);
    if (!text.empty()) texts_[key] = std::string(text);
  }
}

bool TextOverrideTable::HasOverrideText(int32_t key) const {
  auto it = texts_.find(key);
  return it != texts_.end() && !it->second.empty();
}

std::string TextOverrideTable::GetOverrideTextUtf8(int32_t key) const {
  auto it = texts_.find(key);
  if (it == texts_.end()) return std::string();
  // The texts end up in message boxes through a strict conversion; a damaged
  // translation must fall back to the built-in text instead of failing the box.
  if (!IsValidUtf8(it->second)) return std::string();
  return ReplaceBackslashN(it->second);
}

std::u16string TextOverrideTable::GetOverrideText(int32_t key) const {
  return Utf8ToUtf16(GetOverrideTextUtf8(key));
}

std::string WriteTextOverrides(const std::map<int32_t, std::string>& texts) {
  std::string out;
  AppendU32(out, kTableHeaderSize);
  AppendU32(out, static_cast<uint32_t>(texts.size()));
  AppendU32(out, 0);
  for (const auto& [key, text] : texts) {
    // The reader drops or cuts such texts; refuse them rather than lose them silently.
    if (text.empty() || text.find('\0') != std::string::npos || text.size() > kMaxTextBytes) {
      throw std::invalid_argument("override text " + std::to_string(key) +
                                  " is empty, holds a zero byte or is longer than 131070 bytes");
    }
    AppendU32(out, static_cast<uint32_t>(key));
    AppendU32(out, static_cast<uint32_t>(text.size()));
    out += text;
  }
  return out;
}

std::string ReplaceBackslashN(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
      out.push_back('\n');
      ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}
