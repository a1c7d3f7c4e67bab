// The primitives from the system's own CNG (BCrypt): the Windows builds of the packer and
// the stand-in host need no library of their own.
#include <windows.h>
#include <bcrypt.h>

#include "office/crypto_primitives.h"

namespace crypto {
namespace {

bool Failed(NTSTATUS status) { return status < 0; }

void Check(NTSTATUS status, const char* what) {
  if (Failed(status)) throw CryptoError(std::string("BCrypt: ") + what + " failed");
}

PUCHAR Bytes(std::string_view s) { return reinterpret_cast<PUCHAR>(const_cast<char*>(s.data())); }
PUCHAR Bytes(std::string& s) { return reinterpret_cast<PUCHAR>(s.data()); }

class Algorithm {
 public:
  Algorithm(LPCWSTR id, ULONG flags) { Check(BCryptOpenAlgorithmProvider(&handle_, id, nullptr, flags), "open algorithm"); }
  ~Algorithm() { BCryptCloseAlgorithmProvider(handle_, 0); }
  Algorithm(const Algorithm&) = delete;
  Algorithm& operator=(const Algorithm&) = delete;
  BCRYPT_ALG_HANDLE get() const { return handle_; }

 private:
  BCRYPT_ALG_HANDLE handle_ = nullptr;
};

class Hash {
 public:
  Hash(const Algorithm& algorithm, std::string_view key) {
    Check(BCryptCreateHash(algorithm.get(), &handle_, nullptr, 0, key.empty() ? nullptr : Bytes(key),
                           static_cast<ULONG>(key.size()), BCRYPT_HASH_REUSABLE_FLAG),
          "create hash");
  }
  ~Hash() { BCryptDestroyHash(handle_); }
  Hash(const Hash&) = delete;
  Hash& operator=(const Hash&) = delete;
  void Add(std::string_view data) { Check(BCryptHashData(handle_, Bytes(data), static_cast<ULONG>(data.size()), 0), "hash"); }
  void Finish(std::string& digest) {
    digest.resize(kSha512Size);
    Check(BCryptFinishHash(handle_, Bytes(digest), kSha512Size, 0), "finish hash");
  }

 private:
  BCRYPT_HASH_HANDLE handle_ = nullptr;
};

class Key {
 public:
  Key(const Algorithm& algorithm, std::string_view secret) {
    Check(BCryptGenerateSymmetricKey(algorithm.get(), &handle_, nullptr, 0, Bytes(secret),
                                     static_cast<ULONG>(secret.size()), 0),
          "make key");
  }
  ~Key() { BCryptDestroyKey(handle_); }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  BCRYPT_KEY_HANDLE get() const { return handle_; }

 private:
  BCRYPT_KEY_HANDLE handle_ = nullptr;
};

std::string Aes256Cbc(std::string_view key, std::string_view iv, std::string_view data, bool encrypt) {
  if (key.size() != 32 || iv.size() != kAesBlockSize || data.size() % kAesBlockSize != 0) {
    throw CryptoError("AES-256-CBC: key, IV or data of the wrong size");
  }
  Algorithm aes(BCRYPT_AES_ALGORITHM, 0);
  const wchar_t mode[] = BCRYPT_CHAIN_MODE_CBC;
  Check(BCryptSetProperty(aes.get(), BCRYPT_CHAINING_MODE, reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(mode)),
                          sizeof mode, 0),
        "chaining mode");
  Key handle(aes, key);
  std::string chain(iv);  // BCrypt updates the IV it is given
  std::string out(data.size(), '\0');
  ULONG written = 0;
  const auto size = static_cast<ULONG>(data.size());
  if (encrypt) {
    Check(BCryptEncrypt(handle.get(), Bytes(data), size, nullptr, Bytes(chain), kAesBlockSize, Bytes(out), size,
                        &written, 0),
          "encrypt");
  } else {
    Check(BCryptDecrypt(handle.get(), Bytes(data), size, nullptr, Bytes(chain), kAesBlockSize, Bytes(out), size,
                        &written, 0),
          "decrypt");
  }
  out.resize(written);
  return out;
}

}  // namespace

std::string Sha512(std::string_view data) {
  Algorithm sha(BCRYPT_SHA512_ALGORITHM, 0);
  Hash hash(sha, {});
  std::string digest;
  hash.Add(data);
  hash.Finish(digest);
  return digest;
}

std::string Sha512Iterated(std::string h, unsigned rounds) {
  Algorithm sha(BCRYPT_SHA512_ALGORITHM, 0);
  Hash hash(sha, {});
  for (unsigned i = 0; i < rounds; ++i) {
    const char counter[4] = {static_cast<char>(i), static_cast<char>(i >> 8), static_cast<char>(i >> 16),
                             static_cast<char>(i >> 24)};
    hash.Add(std::string_view(counter, sizeof counter));
    hash.Add(h);
    hash.Finish(h);
  }
  return h;
}

std::string HmacSha512(std::string_view key, std::string_view data) {
  Algorithm sha(BCRYPT_SHA512_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG);
  Hash hash(sha, key);
  std::string mac;
  hash.Add(data);
  hash.Finish(mac);
  return mac;
}

std::string Aes256CbcEncrypt(std::string_view key, std::string_view iv, std::string_view data) {
  return Aes256Cbc(key, iv, data, true);
}

std::string Aes256CbcDecrypt(std::string_view key, std::string_view iv, std::string_view data) {
  return Aes256Cbc(key, iv, data, false);
}

std::string RandomBytes(std::size_t count) {
  std::string bytes(count, '\0');
  Check(BCryptGenRandom(nullptr, Bytes(bytes), static_cast<ULONG>(count), BCRYPT_USE_SYSTEM_PREFERRED_RNG),
        "random bytes");
  return bytes;
}

}  // namespace crypto
