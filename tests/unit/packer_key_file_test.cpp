#include <gtest/gtest.h>

#include <string>

#include "core/payload/app_identity.h"
#include "packer/key_file.h"
#include "packer/pack_error.h"

namespace {

const std::string kPassword(40, 'a');
const std::string kIdentityHex = "00112233445566778899aabbccddeeff";

std::string Bytes(const std::string& hex) {
  std::string bytes;
  for (size_t at = 0; at < hex.size(); at += 2) bytes += static_cast<char>(std::stoi(hex.substr(at, 2), nullptr, 16));
  return bytes;
}

TEST(PackerKeyFile, AcceptsBothFormsAndRefusesTheRest) {
  const std::string header = "sheetpack workbook key 1\n";
  struct Row {
    const char* name;
    std::string text;
    bool accepted;
    std::string identity;  // when accepted
  };
  const Row rows[] = {
      {"with identity", header + kPassword + "\napplication " + kIdentityHex + "\n", true, Bytes(kIdentityHex)},
      {"with identity, CRLF", "sheetpack workbook key 1\r\n" + kPassword + "\r\napplication " + kIdentityHex + "\r\n",
       true, Bytes(kIdentityHex)},
      {"older form, password only", header + kPassword + "\n", true, IdentityFromPassword(kPassword)},
      {"older form without final line feed", header + kPassword, true, IdentityFromPassword(kPassword)},
      {"another header", "sheetpack workbook key 2\n" + kPassword + "\n", false, ""},
      {"short password", header + std::string(30, 'a') + "\n", false, ""},
      {"upper-case password", header + std::string(40, 'A') + "\n", false, ""},
      {"identity too short", header + kPassword + "\napplication " + kIdentityHex.substr(2) + "\n", false, ""},
      {"identity not hex", header + kPassword + "\napplication " + std::string(32, 'g') + "\n", false, ""},
      {"third line of another kind", header + kPassword + "\nid " + kIdentityHex + "\n", false, ""},
      {"empty", "", false, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (!row.accepted) {
      EXPECT_THROW(ParseKeyFile(row.text, "app.sheetpack-key"), PackError);
      continue;
    }
    const AppKey key = ParseKeyFile(row.text, "app.sheetpack-key");
    EXPECT_EQ(key.password, kPassword);
    EXPECT_EQ(key.identity, row.identity);
  }
}

TEST(PackerKeyFile, WrittenTextReadsBack) {
  const AppKey key = NewAppKey();
  EXPECT_EQ(key.identity.size(), kAppIdentitySize);
  EXPECT_NE(key.identity, NewAppKey().identity);
  const AppKey back = ParseKeyFile(KeyFileText(key), "k");
  EXPECT_EQ(back.password, key.password);
  EXPECT_EQ(back.identity, key.identity);
}

TEST(PackerKeyFile, IdentityFromPasswordIsStableAndDistinct) {
  EXPECT_EQ(IdentityFromPassword(kPassword).size(), kAppIdentitySize);
  EXPECT_EQ(IdentityFromPassword(kPassword), IdentityFromPassword(kPassword));
  EXPECT_NE(IdentityFromPassword(kPassword), IdentityFromPassword(std::string(40, 'b')));
}

TEST(PackerKeyFile, Fingerprints) {
  EXPECT_EQ(AppFingerprint(Bytes(kIdentityHex)), "0011-2233-4455-6677");
  const std::pair<const char*, const char*> rows[] = {
      {"0011-2233-4455-6677", "0011-2233-4455-6677"},
      {"AbCd-2233-4455-6677", "abcd-2233-4455-6677"},
      {"0011223344556677", nullptr},
      {"0011-2233-4455-667", nullptr},
      {"0011-2233-4455-66778", nullptr},
      {"0011_2233_4455_6677", nullptr},
      {"0011-2233-4455-667g", nullptr},
  };
  for (const auto& [text, expected] : rows) {
    SCOPED_TRACE(text);
    const auto normal = NormalizeFingerprint(text);
    if (expected) {
      ASSERT_TRUE(normal);
      EXPECT_EQ(*normal, expected);
    } else {
      EXPECT_FALSE(normal);
    }
  }
}

}  // namespace
