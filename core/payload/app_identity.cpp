#include "core/payload/app_identity.h"

namespace {

std::string Hex(std::string_view bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string text;
  for (const char byte : bytes) {
    const auto value = static_cast<unsigned char>(byte);
    text += kHex[value >> 4];
    text += kHex[value & 0xF];
  }
  return text;
}

}  // namespace

std::optional<std::string> ReadAppIdentityItem(std::string_view item) {
  if (item.size() != kAppIdentitySize) return std::nullopt;
  return std::string(item);
}

std::string AppFingerprint(std::string_view identity) {
  const std::string hex = Hex(identity.substr(0, 8));
  std::string fingerprint;
  for (size_t at = 0; at < hex.size(); at += 4) {
    if (at > 0) fingerprint += '-';
    fingerprint += hex.substr(at, 4);
  }
  return fingerprint;
}

std::u16string IdentitySavedStateName(std::string_view identity) {
  const std::string name = "app-" + Hex(identity) + ".vstg";
  return std::u16string(name.begin(), name.end());
}
