#include "packer/config_reference.h"

#include <gtest/gtest.h>

#include <set>

#include "core/text/message_texts.h"
#include "packer/pack_config.h"
#include "packer/pack_error.h"

namespace {

std::set<std::string> ParserKeys() {
  std::set<std::string> keys;
  for (const std::string& key : ConfigKeys()) keys.insert(key);
  for (const auto& option : ConfigOptionBits()) keys.insert("options." + option.first);
  return keys;
}

// The parser's tables are what the configuration takes: a key they list is accepted and
// one they do not is refused, so the reference built from them is the parser's own list.
TEST(ConfigReference, ParserTablesAreWhatTheParserAccepts) {
  for (const std::string& key : ParserKeys()) {
    const size_t dot = key.find('.');
    const std::string json = dot == std::string::npos ? "{\"" + key + "\": 0}"
                                                      : "{\"options\": {\"" + key.substr(dot + 1) + "\": 0}}";
    try {
      ParsePackConfig(json, "app.json");
      ADD_FAILURE() << key << " took 0";
    } catch (const PackError& error) {
      EXPECT_EQ(std::string(error.what()).find("unknown key"), std::string::npos) << key << ": " << error.what();
    }
  }
  EXPECT_THROW(ParsePackConfig("{\"titel\": \"x\"}", "app.json"), PackError);
}

TEST(ConfigReference, DescribesEveryKeyTheParserTakesAndNoOther) {
  std::set<std::string> described;
  for (const ConfigKeyHelp& help : ConfigKeyDescriptions()) {
    EXPECT_TRUE(described.insert(help.key).second) << help.key << " described twice";
    EXPECT_NE(*help.value, '\0') << help.key;
    EXPECT_NE(*help.meaning, '\0') << help.key;
  }
  EXPECT_EQ(described, ParserKeys());
}

TEST(ConfigReference, DescribesEveryOverrideNumberThePackerTakes) {
  std::set<int> described;
  for (const OverrideHelp& number : OverrideNumbers()) {
    EXPECT_TRUE(described.insert(number.key).second) << number.key << " described twice";
  }
  EXPECT_EQ(described, std::set<int>(std::begin(OverrideKey::kAll), std::end(OverrideKey::kAll)));
}

TEST(ConfigReference, ListsEveryKeyOptionBitAndOverrideNumber) {
  const std::string reference = ConfigReference();
  for (const ConfigKeyHelp& help : ConfigKeyDescriptions()) {
    EXPECT_NE(reference.find(help.meaning), std::string::npos) << help.key;
  }
  for (const std::string& key : ConfigKeys()) EXPECT_NE(reference.find("\n  " + key + " "), std::string::npos) << key;
  EXPECT_NE(reference.find("\n  savedState          0x20000\n                      keep the application's state"), std::string::npos) << reference;
  for (const OverrideHelp& number : OverrideNumbers()) {
    EXPECT_NE(reference.find("\n  " + std::to_string(number.key) + " "), std::string::npos) << number.key;
  }
}

}  // namespace
