#include "core/payload/workbook_key.h"

#include <cstdint>
#include <stdexcept>

namespace {

constexpr size_t kMaxPasswordSize = 255;  // the host's longest password

// Every mask byte has the high bit set, so every stored byte of an ASCII password is
// 0x80 or above: nothing a text search picks out.
uint8_t MaskByte(size_t index) { return static_cast<uint8_t>(0x80 | ((index * 0x9D + 0x5B) & 0x7F)); }

bool Printable(unsigned char c) { return c >= 0x21 && c <= 0x7E; }

}  // namespace

std::string MaskWorkbookKey(std::string_view password) {
  if (password.empty() || password.size() > kMaxPasswordSize) throw std::invalid_argument("workbook key size");
  std::string item(password.size(), '\0');
  for (size_t i = 0; i < password.size(); ++i) {
    if (!Printable(static_cast<unsigned char>(password[i]))) throw std::invalid_argument("workbook key character");
    item[i] = static_cast<char>(static_cast<uint8_t>(password[i]) ^ MaskByte(i));
  }
  return item;
}

std::optional<std::string> UnmaskWorkbookKey(std::string_view item) {
  if (item.empty() || item.size() > kMaxPasswordSize) return std::nullopt;
  std::string password(item.size(), '\0');
  for (size_t i = 0; i < item.size(); ++i) {
    const auto c = static_cast<unsigned char>(static_cast<uint8_t>(item[i]) ^ MaskByte(i));
    if (!Printable(c)) return std::nullopt;
    password[i] = static_cast<char>(c);
  }
  return password;
}
