#pragma once
// The author's key file, <configuration>.sheetpack-key: the application's workbook
// password and its identity. It is what makes a later build the same application, so
// it is read by every build, written only by a build that succeeds, and recoverable from
// any executable built with it.
//
//   sheetpack workbook key 1
//   <40 hex digits: the password>
//   application <32 hex digits: the identity>
//
// Key files written before there was an identity line have none; their identity is
// derived from the password, so every build with such a file, on any machine, gives the
// same one without the file being rewritten.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct AppKey {
  std::string password;  // printable ASCII, the workbook's password
  std::string identity;  // kAppIdentitySize bytes
};

// Whether the file begins as every version of the key file does.
bool IsKeyFile(const std::filesystem::path& file);

// Throws PackError (bad input) naming the file when it is not a key file.
AppKey ParseKeyFile(std::string_view text, const std::string& name);
std::string KeyFileText(const AppKey& key);

// A new application's key, from the system's random generator.
AppKey NewAppKey();

// The identity a key file without an identity line stands for.
std::string IdentityFromPassword(std::string_view password);

// The key file when it exists. Warns (through `warnings`) when others may read it.
std::optional<AppKey> ReadKeyFileIfAny(const std::filesystem::path& file, std::vector<std::string>& warnings);

// Writes a new key file, readable by its owner alone from its first byte; never replaces
// one. Throws PackError (packing failed).
void WriteNewKeyFile(const std::filesystem::path& file, const AppKey& key);

// A fingerprint as the configuration's "keyFingerprint" gives it, in the form
// AppFingerprint prints; nullopt when it is not one.
std::optional<std::string> NormalizeFingerprint(std::string_view text);
