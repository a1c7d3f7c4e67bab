#include "packer/app_key_choice.h"

#include "core/payload/app_identity.h"
#include "core/payload/app_settings.h"
#include "packer/file_io.h"
#include "packer/pack_error.h"
#include "packer/size_limits.h"

bool NeedsAppKey(const PackConfig& config) {
  return WorkbookStoredPlain(config) || (config.optionFlags & OPT_SAVED_STATE) != 0;
}

AppKeyChoice ChooseAppKey(const PackConfig& config, std::vector<std::string>& warnings) {
  const std::string name = PathToUtf8(config.keyFile);
  std::optional<AppKey> existing = ReadKeyFileIfAny(config.keyFile, warnings);
  if (config.keyFingerprint) {
    if (!existing) {
      throw BadInput(name, "missing; this configuration belongs to the application " + *config.keyFingerprint +
                               ": copy its key file here from your backup, or recover it from a shipped version "
                               "with sheetpack key APP.exe -o " + name);
    }
    const std::string found = AppFingerprint(existing->identity);
    if (found != *config.keyFingerprint) {
      throw BadInput(name, "is the key of the application " + found + ", but the configuration's keyFingerprint "
                               "names " + *config.keyFingerprint + "; use that application's key file");
    }
  }
  if (existing) return {*existing, false};
  return {NewAppKey(), true};
}

std::string NewApplicationNotice(const PackConfig& config, const AppKey& key) {
  const std::string fingerprint = AppFingerprint(key.identity);
  return PathToUtf8(config.keyFile) + ": new application " + fingerprint +
         ": this key file makes every later version the same application (back it up like a signing key); add "
         "\"keyFingerprint\": \"" + fingerprint + "\" to the configuration so that a build without it is refused";
}
