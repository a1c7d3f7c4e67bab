#include "core/encoding/text_code.h"

#include <cstdint>

namespace {

// Three runs of printable characters carry the 64 values; anything else counts as 0
// so that a damaged text still decodes to something of the expected length.
uint8_t CharValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
  if (c >= 'A' && c <= '[') return static_cast<uint8_t>(c - 'A' + 10);
  if (c >= 'a' && c <= '{') return static_cast<uint8_t>(c - 'a' + 37);
  return 0;
}

char ValueChar(uint8_t value) {
  if (value < 10) return static_cast<char>('0' + value);
  if (value < 37) return static_cast<char>('A' + value - 10);
  return static_cast<char>('a' + value - 37);
}

}  // namespace

size_t DecodeTextCode(std::string_view stored, std::string& out) {
  size_t end = stored.find('\0');
  if (end != std::string_view::npos) stored = stored.substr(0, end);

  const size_t before = out.size();
  for (size_t i = 0; i < stored.size(); i += 4) {
    const size_t count = stored.size() - i < 4 ? stored.size() - i : 4;
    uint8_t v[4] = {0, 0, 0, 0};
    for (size_t k = 0; k < count; ++k) v[k] = CharValue(stored[i + k]);
    // Values are packed least significant bits first; a cut-short group emits the
    // bytes its characters started: 1 or 2 characters one byte, 3 characters two.
    out.push_back(static_cast<char>((v[0] | v[1] << 6) & 0xFF));
    if (count >= 3) out.push_back(static_cast<char>(((v[1] >> 2) | v[2] << 4) & 0xFF));
    if (count == 4) out.push_back(static_cast<char>(((v[2] >> 4) | v[3] << 2) & 0xFF));
  }
  return out.size() - before;
}

std::string EncodeTextCode(std::string_view bytes) {
  std::string stored;
  stored.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const auto x = static_cast<uint8_t>(bytes[i]);
    const auto y = static_cast<uint8_t>(bytes[i + 1]);
    const auto z = static_cast<uint8_t>(bytes[i + 2]);
    stored.push_back(ValueChar(x & 0x3F));
    stored.push_back(ValueChar(static_cast<uint8_t>((x >> 6) | (y & 0x0F) << 2)));
    stored.push_back(ValueChar(static_cast<uint8_t>((y >> 4) | (z & 0x03) << 4)));
    stored.push_back(ValueChar(z >> 2));
  }
  const size_t tail = bytes.size() - i;
  if (tail == 1) {
    // One character can only carry six bits; a larger byte needs a second character,
    // which still decodes to a single byte.
    const auto x = static_cast<uint8_t>(bytes[i]);
    stored.push_back(ValueChar(x & 0x3F));
    if (x > 0x3F) stored.push_back(ValueChar(x >> 6));
  } else if (tail == 2) {
    const auto x = static_cast<uint8_t>(bytes[i]);
    const auto y = static_cast<uint8_t>(bytes[i + 1]);
    stored.push_back(ValueChar(x & 0x3F));
    stored.push_back(ValueChar(static_cast<uint8_t>((x >> 6) | (y & 0x0F) << 2)));
    stored.push_back(ValueChar(y >> 4));
  }
  return stored;
}
