#include "packer/key_file.h"

#include <cctype>
#include <fstream>
#include <system_error>

#include "core/encoding/byte_io.h"
#include "core/payload/app_identity.h"
#include "office/crypto_primitives.h"
#include "packer/file_io.h"
#include "packer/owner_only_file.h"
#include "packer/pack_error.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kPasswordBytes = 20;  // 160 bits
constexpr char kHeaderStart[] = "sheetpack workbook key ";  // then the version
const std::string kHeader = std::string(kHeaderStart) + "1";
constexpr char kIdentityLabel[] = "application ";

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string line(text.substr(at, end - at));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

bool IsLowerHex(const std::string& text, size_t minimum, size_t maximum) {
  return text.size() >= minimum && text.size() <= maximum && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

std::string HexToBytes(const std::string& hex) {
  std::string bytes;
  for (size_t at = 0; at + 1 < hex.size(); at += 2) bytes += static_cast<char>(std::stoi(hex.substr(at, 2), nullptr, 16));
  return bytes;
}

}  // namespace

bool IsKeyFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string start(sizeof kHeaderStart - 1, '\0');
  in.read(start.data(), static_cast<std::streamsize>(start.size()));
  return in && start == kHeaderStart;
}

std::string IdentityFromPassword(std::string_view password) {
  return crypto::Sha512("sheetpack application identity\n" + std::string(password)).substr(0, kAppIdentitySize);
}

AppKey ParseKeyFile(std::string_view text, const std::string& name) {
  const std::vector<std::string> lines = Lines(text);
  const auto refuse = [&] {
    return BadInput(name, "is not a sheetpack key file (restore it from your backup, recover it from a shipped "
                          "executable with sheetpack key, or delete it to make a new application whose users' "
                          "saved states the old one cannot open)");
  };
  if (lines.size() < 2 || lines[0] != kHeader || !IsLowerHex(lines[1], 2 * 16, 255)) throw refuse();
  AppKey key{lines[1], IdentityFromPassword(lines[1])};
  if (lines.size() >= 3 && !lines[2].empty()) {
    const std::string label = kIdentityLabel;
    const std::string hex = lines[2].compare(0, label.size(), label) == 0 ? lines[2].substr(label.size()) : "";
    if (hex.size() != 2 * kAppIdentitySize || !IsLowerHex(hex, 0, 2 * kAppIdentitySize)) throw refuse();
    key.identity = HexToBytes(hex);
  }
  return key;
}

std::string KeyFileText(const AppKey& key) {
  return kHeader + "\n" + key.password + "\n" + kIdentityLabel + LowerHex(key.identity) + "\n";
}

AppKey NewAppKey() {
  return {LowerHex(crypto::RandomBytes(kPasswordBytes)), crypto::RandomBytes(kAppIdentitySize)};
}

std::optional<AppKey> ReadKeyFileIfAny(const fs::path& file, std::vector<std::string>& warnings) {
  std::error_code error;
  if (!fs::exists(fs::symlink_status(file, error))) return std::nullopt;
  const std::string name = PathToUtf8(file);
  AppKey key = ParseKeyFile(ReadFileBytes(file), name);
  if (OthersMayRead(file)) {
    warnings.push_back(name + ": other users may read this key file, and with it open the application's workbook "
                              "and its users' saved states; make it readable by you alone (chmod 600)");
  }
  return key;
}

void WriteNewKeyFile(const fs::path& file, const AppKey& key) { WriteNewOwnerOnlyFile(file, KeyFileText(key)); }

std::optional<std::string> NormalizeFingerprint(std::string_view text) {
  std::string fingerprint;
  for (const char c : text) fingerprint += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (fingerprint.size() != 19) return std::nullopt;
  for (size_t at = 0; at < fingerprint.size(); ++at) {
    const bool dash = at % 5 == 4;
    if (dash ? fingerprint[at] != '-' : !std::isxdigit(static_cast<unsigned char>(fingerprint[at]))) return std::nullopt;
  }
  return fingerprint;
}
