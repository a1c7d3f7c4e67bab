#pragma once
// The few cryptographic primitives the workbook encryption needs, taken from a well-kept
// library rather than written here: OpenSSL's libcrypto on Linux
// (crypto_primitives_openssl.cpp) and the system's own CNG (BCrypt) on Windows
// (crypto_primitives_win.cpp). Bytes are std::string. Every function throws
// CryptoError when the library fails.
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

class CryptoError : public std::runtime_error {
 public:
  explicit CryptoError(const std::string& what) : std::runtime_error(what) {}
};

namespace crypto {

constexpr std::size_t kSha512Size = 64;
constexpr std::size_t kAesBlockSize = 16;

std::string Sha512(std::string_view data);

// Many of the password hash's 100,000 rounds hash one counter and the last digest: one
// call keeps them inside the library (no per-round allocation).
// Returns H(le32(i) + h) applied for i = 0 .. rounds-1, starting from h.
std::string Sha512Iterated(std::string h, unsigned rounds);

std::string HmacSha512(std::string_view key, std::string_view data);

// AES-256 in CBC mode without padding: data's size must be a multiple of 16, key 32
// bytes, iv 16 bytes.
std::string Aes256CbcEncrypt(std::string_view key, std::string_view iv, std::string_view data);
std::string Aes256CbcDecrypt(std::string_view key, std::string_view iv, std::string_view data);

// Bytes from the system's cryptographic random generator.
std::string RandomBytes(std::size_t count);

}  // namespace crypto
