#include "office/biff_records.h"

#include "core/encoding/byte_io.h"
#include "core/encoding/utf.h"

size_t BiffRecords::Add(uint16_t id, const std::string& payload) {
  const size_t start = bytes_.size();
  AppendU16(bytes_, id);
  AppendU16(bytes_, static_cast<uint16_t>(payload.size()));
  bytes_ += payload;
  return start;
}

std::string BiffWords(std::initializer_list<uint16_t> words) {
  std::string out;
  for (uint16_t word : words) AppendU16(out, word);
  return out;
}

std::string BiffUnicodeString(const std::string& text, bool shortForm) {
  const std::u16string units = Utf8ToUtf16(text);
  std::string out;
  if (shortForm) {
    AppendU8(out, static_cast<uint8_t>(units.size()));
  } else {
    AppendU16(out, static_cast<uint16_t>(units.size()));
  }
  AppendU8(out, 1);  // fHighByte
  return out + StringToUtf16LeBytes(units);
}
