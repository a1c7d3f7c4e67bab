// Agile encryption: the key derivation, the password verifier, the encrypted package in
// segments of 4096 bytes and its HMAC. AES and SHA-512 come from crypto_primitives.
#include "office/agile_encryption.h"

#include <cstdint>

#include "core/encoding/byte_io.h"
#include "office/compound_file.h"
#include "office/crypto_primitives.h"
#include "office/encrypted_package_file.h"
#include "office/loader_format_error.h"

namespace BlockKey {
const std::string_view kVerifierHashInput("\xfe\xa7\xd2\x76\x3b\x4b\x9e\x79", 8);
const std::string_view kVerifierHashValue("\xd7\xaa\x0f\x6d\x30\x61\x34\x4e", 8);
const std::string_view kEncryptedKeyValue("\x14\x6e\x0b\xe7\xab\xac\xd0\xd6", 8);
const std::string_view kIntegrityHmacKey("\x5f\xb2\xad\x01\x0c\xb9\xe1\xf6", 8);
const std::string_view kIntegrityHmacValue("\xa0\x67\x7f\x02\xb2\x2c\x84\x33", 8);
}  // namespace BlockKey

namespace {

constexpr size_t kSegmentSize = 4096;
constexpr size_t kKeySize = 32;

std::string PadToBlock(std::string bytes) {
  bytes.resize((bytes.size() + crypto::kAesBlockSize - 1) / crypto::kAesBlockSize * crypto::kAesBlockSize, '\0');
  return bytes;
}

// The IV of a package segment or a data-integrity value: the key data's salt hashed with
// a block key (or a segment's number), cut to the block size.
std::string DerivedIv(std::string_view keyDataSalt, std::string_view blockKey) {
  std::string input(keyDataSalt);
  input += blockKey;
  return crypto::Sha512(input).substr(0, crypto::kAesBlockSize);
}

std::string SegmentIv(std::string_view keyDataSalt, uint32_t index) {
  std::string counter;
  AppendU32(counter, index);
  return DerivedIv(keyDataSalt, counter);
}

std::string PasswordBytes(std::u16string_view password) {
  std::string bytes;
  for (const char16_t unit : password) AppendU16(bytes, unit);
  return bytes;
}

// The EncryptedPackage stream: the package's size, then its segments, each encrypted on
// its own with an IV from its number. Made in the package's own buffer: a segment's
// ciphertext is as long as the segment (the last one padded to the block size), so with
// room for the size field the stream takes no second buffer.
std::string EncryptPackage(std::string package, std::string_view secretKey, std::string_view keyDataSalt) {
  const size_t size = package.size();
  std::string sizeField;
  AppendU64(sizeField, size);
  package.insert(0, sizeField);
  package.resize(8 + (size + crypto::kAesBlockSize - 1) / crypto::kAesBlockSize * crypto::kAesBlockSize, '\0');
  for (size_t offset = 8, index = 0; offset < package.size(); offset += kSegmentSize, ++index) {
    const std::string_view segment = std::string_view(package).substr(offset, kSegmentSize);
    const std::string encrypted =
        crypto::Aes256CbcEncrypt(secretKey, SegmentIv(keyDataSalt, static_cast<uint32_t>(index)), segment);
    package.replace(offset, encrypted.size(), encrypted);
  }
  return package;
}

}  // namespace

size_t EncryptedFileRoom(size_t packageSize) {
  // The size field and the last block's padding; a FAT entry for every sector and a DIFAT
  // entry for every FAT sector (under 1 %); the header, the directory, the mini stream
  // and the last sector's padding (well under 64 KiB).
  return 8 + crypto::kAesBlockSize + packageSize / 100 + 64 * 1024;
}

EncryptionSeeds EncryptionSeedsFor(std::string_view password, std::string_view package) {
  const std::string digest = crypto::Sha512(package);
  const auto seed = [&](std::string_view label, size_t size) {
    return crypto::HmacSha512(password, std::string(label) + '\0' + digest).substr(0, size);
  };
  return {seed("key data salt", 16), seed("password salt", 16), seed("verifier", 16), seed("secret key", kKeySize),
          seed("integrity key", crypto::kSha512Size)};
}

std::string PasswordHash(std::u16string_view password, std::string_view salt, unsigned spinCount) {
  std::string first(salt);
  first += PasswordBytes(password);
  return crypto::Sha512Iterated(crypto::Sha512(first), spinCount);
}

std::string KeyFromPasswordHash(std::string_view passwordHash, std::string_view blockKey) {
  std::string input(passwordHash);
  input += blockKey;
  return crypto::Sha512(input).substr(0, kKeySize);  // SHA-512 is longer than the key: cut, never padded
}

std::string EncryptWorkbookPackage(std::string package, std::u16string_view password,
                                   const EncryptionSeeds& seeds, unsigned spinCount) {
  AgileEncryptionInfo info;
  info.spinCount = spinCount;
  info.keyDataSalt = seeds.keyDataSalt;
  info.passwordSalt = seeds.passwordSalt;

  const std::string hash = PasswordHash(password, seeds.passwordSalt, spinCount);
  const auto wrap = [&](std::string_view blockKey, std::string value) {
    return crypto::Aes256CbcEncrypt(KeyFromPasswordHash(hash, blockKey), seeds.passwordSalt,
                                    PadToBlock(std::move(value)));
  };
  info.encryptedVerifierHashInput = wrap(BlockKey::kVerifierHashInput, seeds.verifierInput);
  info.encryptedVerifierHashValue = wrap(BlockKey::kVerifierHashValue, crypto::Sha512(seeds.verifierInput));
  info.encryptedKeyValue = wrap(BlockKey::kEncryptedKeyValue, seeds.secretKey);

  std::string stream = EncryptPackage(std::move(package), seeds.secretKey, seeds.keyDataSalt);
  info.encryptedHmacKey = crypto::Aes256CbcEncrypt(
      seeds.secretKey, DerivedIv(seeds.keyDataSalt, BlockKey::kIntegrityHmacKey), PadToBlock(seeds.hmacKey));
  info.encryptedHmacValue =
      crypto::Aes256CbcEncrypt(seeds.secretKey, DerivedIv(seeds.keyDataSalt, BlockKey::kIntegrityHmacValue),
                               PadToBlock(crypto::HmacSha512(seeds.hmacKey, stream)));
  return WriteEncryptedPackageFile(WriteEncryptionInfo(info), std::move(stream));
}

bool IsEncryptedPackage(std::string_view file) {
  try {
    return ReadCompoundFile(file).Find("EncryptionInfo") != nullptr;
  } catch (const LoaderFormatError&) {
    return false;
  }
}

std::string UnlockWithPassword(const AgileEncryptionInfo& info, std::u16string_view password) {
  if (info.encryptedVerifierHashInput.size() % crypto::kAesBlockSize != 0 ||
      info.encryptedVerifierHashValue.size() < crypto::kSha512Size ||
      info.encryptedVerifierHashValue.size() % crypto::kAesBlockSize != 0 ||
      info.encryptedKeyValue.size() < kKeySize || info.encryptedKeyValue.size() % crypto::kAesBlockSize != 0 ||
      info.encryptedVerifierHashInput.size() < 16) {
    throw LoaderFormatError("the encryption information has values of the wrong size");
  }
  const std::string hash = PasswordHash(password, info.passwordSalt, info.spinCount);
  const auto unwrap = [&](std::string_view blockKey, std::string_view value) {
    return crypto::Aes256CbcDecrypt(KeyFromPasswordHash(hash, blockKey), info.passwordSalt, value);
  };
  const std::string input = unwrap(BlockKey::kVerifierHashInput, info.encryptedVerifierHashInput).substr(0, 16);
  const std::string value = unwrap(BlockKey::kVerifierHashValue, info.encryptedVerifierHashValue);
  if (crypto::Sha512(input) != value.substr(0, crypto::kSha512Size)) return {};
  return unwrap(BlockKey::kEncryptedKeyValue, info.encryptedKeyValue).substr(0, kKeySize);
}

std::string DecryptWorkbookPackage(std::string_view file, std::u16string_view password) {
  const EncryptedPackageFile parts = ReadEncryptedPackageFile(file);
  const AgileEncryptionInfo info = ReadEncryptionInfo(parts.encryptionInfo);
  const std::string secretKey = UnlockWithPassword(info, password);
  if (secretKey.empty()) throw WrongPassword("the password is not correct");

  const std::string& stream = parts.encryptedPackage;
  if (info.encryptedHmacKey.size() < crypto::kSha512Size || info.encryptedHmacValue.size() < crypto::kSha512Size ||
      info.encryptedHmacKey.size() % crypto::kAesBlockSize != 0 ||
      info.encryptedHmacValue.size() % crypto::kAesBlockSize != 0) {
    throw LoaderFormatError("the data-integrity values have the wrong size");
  }
  const std::string hmacKey =
      crypto::Aes256CbcDecrypt(secretKey, DerivedIv(info.keyDataSalt, BlockKey::kIntegrityHmacKey),
                               info.encryptedHmacKey)
          .substr(0, crypto::kSha512Size);
  const std::string hmacValue =
      crypto::Aes256CbcDecrypt(secretKey, DerivedIv(info.keyDataSalt, BlockKey::kIntegrityHmacValue),
                               info.encryptedHmacValue)
          .substr(0, crypto::kSha512Size);
  if (crypto::HmacSha512(hmacKey, stream) != hmacValue) {
    throw WrongPassword("the encrypted workbook has been altered (its HMAC does not match)");
  }

  const uint64_t size = ReadU32At(stream, 0) | (static_cast<uint64_t>(ReadU32At(stream, 4)) << 32);
  const std::string_view body = std::string_view(stream).substr(std::min<size_t>(8, stream.size()));
  if (stream.size() < 8 || size > body.size() || body.size() % crypto::kAesBlockSize != 0) {
    throw LoaderFormatError("the encrypted package is cut short");
  }
  std::string package;
  package.reserve(body.size());
  for (size_t offset = 0, index = 0; offset < body.size(); offset += kSegmentSize, ++index) {
    package += crypto::Aes256CbcDecrypt(secretKey, SegmentIv(info.keyDataSalt, static_cast<uint32_t>(index)),
                                        body.substr(offset, kSegmentSize));
  }
  package.resize(size);
  return package;
}
