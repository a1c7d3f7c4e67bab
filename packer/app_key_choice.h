#pragma once
// Which key a build packs with. The key file beside the configuration is the
// application's identity: a build without it makes a new application, whose users'
// saved states the earlier versions' cannot be opened by it. So a configuration may name
// the fingerprint of the key it belongs to ("keyFingerprint"), and a build whose key
// file is missing or another is refused; without that key the first build of an
// application makes a new key and says so, and writes it only when the build succeeds.
#include <optional>
#include <string>
#include <vector>

#include "packer/key_file.h"
#include "packer/pack_config.h"

struct AppKeyChoice {
  AppKey key;
  bool isNew = false;  // made by this build: the key file is written once the build has succeeded
};

// True when the application needs a key: its workbook is encrypted, or it keeps a saved
// state that its later versions must find.
bool NeedsAppKey(const PackConfig& config);

// The key file's key, or a new one. Throws PackError (bad input) for a damaged key file
// or one that is missing or another than the configuration's "keyFingerprint" names.
AppKeyChoice ChooseAppKey(const PackConfig& config, std::vector<std::string>& warnings);

// What a build that made a new key says once it has succeeded.
std::string NewApplicationNotice(const PackConfig& config, const AppKey& key);
