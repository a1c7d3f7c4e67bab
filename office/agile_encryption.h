#pragma once
// Agile encryption of a package-format workbook (.xlsm, .xlsb), as the host itself
// writes it when a workbook is saved with a password to open: AES-256 in CBC mode,
// SHA-512, keys derived from the password with a spin count, a password verifier and an
// HMAC over the encrypted package. The result is a compound file holding EncryptionInfo,
// EncryptedPackage and the data-space description the host expects.
#include <stdexcept>
#include <string>
#include <string_view>

#include "office/encryption_info.h"

constexpr unsigned kAgileSpinCount = 100000;

// The values the host draws at random for each save. Drawn here from a secret and the
// workbook instead (EncryptionSeedsFor), so that one configuration packs to the same bytes.
struct EncryptionSeeds {
  std::string keyDataSalt;     // 16 bytes
  std::string passwordSalt;    // 16 bytes
  std::string verifierInput;   // 16 bytes
  std::string secretKey;       // 32 bytes: the key that encrypts the package
  // 64 bytes: the data-integrity key is a salt as long as the hash's output, and the
  // hash is SHA-512; a shorter key would be padded differently by the host's check.
  std::string hmacKey;
};

// What the encrypted file adds to the package's size, at most.
size_t EncryptedFileRoom(size_t packageSize);

// HMAC-SHA-512 of the workbook's digest under the password, one label per value: as
// unpredictable as random values to anyone without the password, and the same for the same
// workbook and password.
EncryptionSeeds EncryptionSeedsFor(std::string_view password, std::string_view package);

// The key for one purpose (a block key from the format) from the password: SHA-512 of the
// salt and the UTF-16LE password, rehashed spinCount times with a counter, then hashed
// with the block key and cut to 32 bytes.
std::string PasswordHash(std::u16string_view password, std::string_view salt, unsigned spinCount);
std::string KeyFromPasswordHash(std::string_view passwordHash, std::string_view blockKey);

namespace BlockKey {
extern const std::string_view kVerifierHashInput;
extern const std::string_view kVerifierHashValue;
extern const std::string_view kEncryptedKeyValue;
extern const std::string_view kIntegrityHmacKey;
extern const std::string_view kIntegrityHmacValue;
}  // namespace BlockKey

// The package is taken over and encrypted in its own buffer, which becomes the file's: with
// a capacity of EncryptedFileRoom more than its size, a large workbook is held only once.
std::string EncryptWorkbookPackage(std::string package, std::u16string_view password,
                                   const EncryptionSeeds& seeds, unsigned spinCount = kAgileSpinCount);

// True when the file is a compound file with an EncryptionInfo stream: an encrypted
// package-format workbook (an .xls is a compound file too, but without that stream).
bool IsEncryptedPackage(std::string_view file);

// The secret key when the password is right (checked with the verifier, as the host
// checks it), empty when it is wrong. Throws LoaderFormatError for a file it cannot read.
std::string UnlockWithPassword(const AgileEncryptionInfo& info, std::u16string_view password);

// Throws LoaderFormatError for a damaged file, WrongPassword for a wrong password and for
// a file whose HMAC does not match.
class WrongPassword : public std::runtime_error {
 public:
  explicit WrongPassword(const std::string& what) : std::runtime_error(what) {}
};
std::string DecryptWorkbookPackage(std::string_view file, std::u16string_view password);
