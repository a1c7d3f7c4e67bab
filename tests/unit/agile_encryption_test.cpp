#include "office/agile_encryption.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/encoding/byte_io.h"
#include "core/encoding/utf.h"
#include "core/payload/workbook_key.h"
#include "office/compound_file.h"
#include "office/crypto_primitives.h"
#include "office/encrypted_package_file.h"
#include "office/encryption_info.h"
#include "office/loader_format_error.h"

namespace {

std::string FromHex(std::string_view hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  return out;
}

// Keys computed by msoffcrypto-tool's agile-encryption module
// (ECMA376Agile._derive_iterated_hash_from_password, then _derive_encryption_key).
struct KeyCase {
  const char* password;  // UTF-8
  const char* salt;
  unsigned spinCount;
  std::string_view blockKey;
  const char* key;
};

TEST(AgileEncryption, KeyDerivationMatchesAnOutsideImplementation) {
  const KeyCase cases[] = {
      {"pw", "000102030405060708090a0b0c0d0e0f", 100000, BlockKey::kVerifierHashInput,
       "62168db863a1338f90c15ee932d8f835c7e77ef09e4e40ba57f121d649644180"},
      {"pw", "000102030405060708090a0b0c0d0e0f", 100000, BlockKey::kVerifierHashValue,
       "6456b21fcbe381ca814b40c57be5179c0a54b01bf67e715703af4887dc9808e0"},
      {"pw", "000102030405060708090a0b0c0d0e0f", 100000, BlockKey::kEncryptedKeyValue,
       "8ed0b2eba9bca3eab4dfe27f92e2ae725e2b0f519216996d1b8c3d83e839de5f"},
      {"Password1234_", "e88ac0e2b2ed4e8ebcc4c94dcd28ae9f", 100000, BlockKey::kVerifierHashInput,
       "1263d63abb3756e1e0f14999b5437b1a4f80d62e35e0115b3c103b16f4b2c09a"},
      {"Password1234_", "e88ac0e2b2ed4e8ebcc4c94dcd28ae9f", 100000, BlockKey::kEncryptedKeyValue,
       "29af8ff292ae048d0d83a112a0a6dc76b35b9272ed6b9d344a364629711beeb7"},
      // Not ASCII: the password is hashed as UTF-16LE.
      {"p\xc3\xa4ss\xe2\x82\xac", "00000000000000000000000000000000", 1000, BlockKey::kVerifierHashValue,
       "16fdea0870fdf3f3e4de069d72b81350739b9feeb0728ee69f9919087c02069b"},
  };
  for (const KeyCase& c : cases) {
    const std::string hash = PasswordHash(Utf8ToUtf16(c.password), FromHex(c.salt), c.spinCount);
    EXPECT_EQ(LowerHex(KeyFromPasswordHash(hash, c.blockKey)), c.key) << c.password << " " << LowerHex(c.blockKey);
  }
}

EncryptionSeeds Seeds() { return EncryptionSeedsFor("secret", "workbook"); }

TEST(AgileEncryption, RoundTripsAndChecksThePasswordWithTheVerifier) {
  // Sizes around the 4096-byte segment and the 16-byte block.
  for (const size_t size : {1u, 15u, 16u, 4095u, 4096u, 4097u, 10000u}) {
    std::string package(size, '\0');
    for (size_t i = 0; i < size; ++i) package[i] = static_cast<char>(i * 7 + size);
    const std::string file = EncryptWorkbookPackage(package, u"right", Seeds(), 1000);
    EXPECT_TRUE(IsEncryptedPackage(file));
    EXPECT_EQ(DecryptWorkbookPackage(file, u"right"), package) << size;
    EXPECT_THROW(DecryptWorkbookPackage(file, u"Right"), WrongPassword) << size;
    const AgileEncryptionInfo info = ReadEncryptionInfo(ReadEncryptedPackageFile(file).encryptionInfo);
    EXPECT_EQ(info.spinCount, 1000u);
    EXPECT_EQ(UnlockWithPassword(info, u"right"), Seeds().secretKey);
    EXPECT_TRUE(UnlockWithPassword(info, u"").empty());
  }
}

TEST(AgileEncryption, AlteredPackageFailsTheIntegrityCheck) {
  const std::string file = EncryptWorkbookPackage(std::string(5000, 'x'), u"pw", Seeds(), 1000);
  EncryptedPackageFile parts = ReadEncryptedPackageFile(file);
  parts.encryptedPackage[100] ^= 1;
  const std::string altered = WriteEncryptedPackageFile(parts.encryptionInfo, parts.encryptedPackage);
  EXPECT_THROW(DecryptWorkbookPackage(altered, u"pw"), WrongPassword);
}

TEST(AgileEncryption, SameWorkbookAndPasswordGiveTheSameFile) {
  const EncryptionSeeds a = EncryptionSeedsFor("pw", "book one");
  EXPECT_EQ(EncryptWorkbookPackage("book one", u"pw", a, 1000),
            EncryptWorkbookPackage("book one", u"pw", EncryptionSeedsFor("pw", "book one"), 1000));
  const EncryptionSeeds b = EncryptionSeedsFor("pw", "book two");
  const EncryptionSeeds c = EncryptionSeedsFor("other", "book one");
  EXPECT_NE(a.secretKey, b.secretKey);
  EXPECT_NE(a.secretKey, c.secretKey);
  EXPECT_NE(a.passwordSalt, a.keyDataSalt);
}

TEST(AgileEncryption, EncryptionInfoReaderRefusesWhatItCannotDecrypt) {
  AgileEncryptionInfo info;
  info.keyDataSalt = std::string(16, 'k');
  info.passwordSalt = std::string(16, 'p');
  const std::string good = WriteEncryptionInfo(info);
  EXPECT_EQ(ReadEncryptionInfo(good).passwordSalt, info.passwordSalt);
  struct Bad {
    std::string from, to;
  };
  const Bad cases[] = {
      {std::string("\x04\x00\x04\x00", 4), std::string("\x04\x00\x02\x00", 4)},  // standard encryption
      {"hashAlgorithm=\"SHA512\"", "hashAlgorithm=\"SHA1\""},
      {"keyBits=\"256\"", "keyBits=\"128\""},
      {"spinCount=\"100000\"", "spinCount=\"-1\""},
      {"<dataIntegrity", "<dataIntegrit"},
      {"uri=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password", "uri=\"http://schemas.microsoft.com/office/2006/keyEncryptor/certificate"},  // no password
  };
  for (const Bad& bad : cases) {
    std::string changed = good;
    const size_t at = changed.find(bad.from);
    ASSERT_NE(at, std::string::npos) << bad.from;
    changed.replace(at, bad.from.size(), bad.to);
    EXPECT_THROW(ReadEncryptionInfo(changed), LoaderFormatError) << bad.to;
  }
}

// The data-space streams as [MS-OFFCRYPTO] sets them for agile encryption, field by field
// (length-prefixed UTF-16 strings padded to 4 bytes; versions 1.0). Readers written apart
// from this project ignore them, but the host looks for them before the encryption itself.
TEST(EncryptedPackageFile, DataSpaceStreamsAreTheFormatsBytes) {
  const std::string file = WriteEncryptedPackageFile("info", "package");
  const CfbEntry root = ReadCompoundFile(file);
  const CfbEntry* spaces = root.Find("\x06" "DataSpaces");
  ASSERT_NE(spaces, nullptr);
  const std::string version = FromHex(
      "3c000000" "4d006900630072006f0073006f00660074002e0043006f006e007400610069006e00650072002e00"
      "4400610074006100530070006100630065007300"  // "Microsoft.Container.DataSpaces"
      "01000000" "01000000" "01000000");          // reader, updater, writer 1.0
  const std::string map = FromHex(
      "08000000" "01000000"                       // header length, one entry
      "68000000" "01000000" "00000000"            // entry length, one reference, a stream
      "20000000" "45006e0063007200790070007400650064005000610063006b00610067006500"  // "EncryptedPackage"
      "32000000" "5300740072006f006e00670045006e006300720079007000740069006f006e00"
      "4400610074006100530070006100630065000000");  // "StrongEncryptionDataSpace", padded
  const std::string definition = FromHex(
      "08000000" "01000000"                       // header length, one transform
      "32000000" "5300740072006f006e00670045006e006300720079007000740069006f006e00"
      "5400720061006e00730066006f0072006d000000");  // "StrongEncryptionTransform", padded
  const std::string primary = FromHex(
      "58000000" "01000000"                       // header length, transform type 1
      "4c000000" "7b00460046003900410033004600300033002d0035003600450046002d003400360031003300"
      "2d0042004400440035002d003500410034003100430031004400300037003200340036007d00"  // the transform's id
      "4e000000" "4d006900630072006f0073006f00660074002e0043006f006e007400610069006e0065007200"
      "2e0045006e006300720079007000740069006f006e005400720061006e00730066006f0072006d000000"
      "01000000" "01000000" "01000000"            // reader, updater, writer 1.0
      "00000000" "00000000" "00000000" "04000000");  // no name, block size, mode, reserved 4
  const CfbEntry* transforms = spaces->Find("TransformInfo");
  const CfbEntry* infos = spaces->Find("DataSpaceInfo");
  ASSERT_TRUE(transforms && infos && transforms->Find("StrongEncryptionTransform"));
  EXPECT_EQ(spaces->Find("Version")->data, version);
  EXPECT_EQ(spaces->Find("DataSpaceMap")->data, map);
  EXPECT_EQ(infos->Find("StrongEncryptionDataSpace")->data, definition);
  EXPECT_EQ(transforms->Find("StrongEncryptionTransform")->Find("\x06Primary")->data, primary);
}

TEST(AgileEncryption, Base64RoundTrips) {
  for (const std::string& s : std::vector<std::string>{"", "a", "ab", "abc", "abcd", std::string("\x00\xff\x10", 3)}) {
    EXPECT_EQ(Base64Decode(Base64Encode(s)), s);
  }
  EXPECT_EQ(Base64Encode("Man"), "TWFu");
  EXPECT_EQ(Base64Encode("Ma"), "TWE=");
  EXPECT_THROW(Base64Decode("TW*u"), LoaderFormatError);
}

TEST(WorkbookKey, MaskedKeyHoldsNoPrintableByteAndUnmasks) {
  const std::string password = "0123456789abcdef0123456789abcdef01234567";
  const std::string item = MaskWorkbookKey(password);
  for (const char c : item) EXPECT_GE(static_cast<uint8_t>(c), 0x80);
  EXPECT_EQ(UnmaskWorkbookKey(item), password);
  EXPECT_EQ(UnmaskWorkbookKey(""), std::nullopt);
  EXPECT_EQ(UnmaskWorkbookKey("plain"), std::nullopt);  // unmasks to bytes outside printable ASCII
}

}  // namespace
