// The primitives from OpenSSL's libcrypto (Linux builds of the packer and the unit tests).
#include "office/crypto_primitives.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <memory>

namespace crypto {
namespace {

using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

const unsigned char* Bytes(std::string_view s) { return reinterpret_cast<const unsigned char*>(s.data()); }
unsigned char* Bytes(std::string& s) { return reinterpret_cast<unsigned char*>(s.data()); }

void Check(int ok, const char* what) {
  if (ok != 1) throw CryptoError(std::string("libcrypto: ") + what + " failed");
}

std::string Aes256Cbc(std::string_view key, std::string_view iv, std::string_view data, int encrypt) {
  if (key.size() != 32 || iv.size() != kAesBlockSize || data.size() % kAesBlockSize != 0) {
    throw CryptoError("AES-256-CBC: key, IV or data of the wrong size");
  }
  CipherContext context(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
  if (!context) throw CryptoError("libcrypto: no cipher context");
  Check(EVP_CipherInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, Bytes(key), Bytes(iv), encrypt), "cipher init");
  Check(EVP_CIPHER_CTX_set_padding(context.get(), 0), "cipher padding");
  std::string out(data.size() + kAesBlockSize, '\0');
  int written = 0;
  int last = 0;
  Check(EVP_CipherUpdate(context.get(), Bytes(out), &written, Bytes(data), static_cast<int>(data.size())), "cipher");
  Check(EVP_CipherFinal_ex(context.get(), Bytes(out) + written, &last), "cipher final");
  out.resize(static_cast<std::size_t>(written + last));
  return out;
}

}  // namespace

std::string Sha512(std::string_view data) {
  std::string digest(kSha512Size, '\0');
  unsigned int size = 0;
  Check(EVP_Digest(data.data(), data.size(), Bytes(digest), &size, EVP_sha512(), nullptr), "SHA-512");
  return digest;
}

std::string Sha512Iterated(std::string h, unsigned rounds) {
  DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  if (!context) throw CryptoError("libcrypto: no digest context");
  for (unsigned i = 0; i < rounds; ++i) {
    const unsigned char counter[4] = {static_cast<unsigned char>(i), static_cast<unsigned char>(i >> 8),
                                      static_cast<unsigned char>(i >> 16), static_cast<unsigned char>(i >> 24)};
    unsigned int size = 0;
    Check(EVP_DigestInit_ex(context.get(), EVP_sha512(), nullptr), "SHA-512 init");
    Check(EVP_DigestUpdate(context.get(), counter, sizeof counter), "SHA-512");
    Check(EVP_DigestUpdate(context.get(), h.data(), h.size()), "SHA-512");
    h.resize(kSha512Size);
    Check(EVP_DigestFinal_ex(context.get(), Bytes(h), &size), "SHA-512 final");
  }
  return h;
}

std::string HmacSha512(std::string_view key, std::string_view data) {
  std::string mac(kSha512Size, '\0');
  unsigned int size = 0;
  if (!HMAC(EVP_sha512(), key.data(), static_cast<int>(key.size()), Bytes(data), data.size(), Bytes(mac), &size)) {
    throw CryptoError("libcrypto: HMAC-SHA-512 failed");
  }
  return mac;
}

std::string Aes256CbcEncrypt(std::string_view key, std::string_view iv, std::string_view data) {
  return Aes256Cbc(key, iv, data, 1);
}

std::string Aes256CbcDecrypt(std::string_view key, std::string_view iv, std::string_view data) {
  return Aes256Cbc(key, iv, data, 0);
}

std::string RandomBytes(std::size_t count) {
  std::string bytes(count, '\0');
  Check(RAND_bytes(Bytes(bytes), static_cast<int>(count)), "random bytes");
  return bytes;
}

}  // namespace crypto
