#pragma once
// The EncryptionInfo stream of an agile-encrypted package (version 4.4, then the XML
// that names the algorithms and carries the salts, the password verifier, the wrapped
// key and the data-integrity values). The writer writes AES-256/SHA-512 with a password
// key encryptor; the reader takes what hosts write for it (any attribute order, extra
// key encryptors) and refuses what it cannot decrypt.
#include <string>
#include <string_view>

struct AgileEncryptionInfo {
  // keyData: the key that encrypts the package.
  std::string keyDataSalt;  // 16 bytes
  // dataIntegrity
  std::string encryptedHmacKey;
  std::string encryptedHmacValue;
  // the password key encryptor
  unsigned spinCount = 100000;
  std::string passwordSalt;  // 16 bytes
  std::string encryptedVerifierHashInput;
  std::string encryptedVerifierHashValue;
  std::string encryptedKeyValue;
};

std::string WriteEncryptionInfo(const AgileEncryptionInfo& info);

// Throws LoaderFormatError naming what is missing or what is not AES-256 with SHA-512
// (say, standard encryption of version 3.2 or 4.2 or another cipher).
AgileEncryptionInfo ReadEncryptionInfo(std::string_view stream);

std::string Base64Encode(std::string_view bytes);
// Throws LoaderFormatError on a character outside the alphabet.
std::string Base64Decode(std::string_view text);
