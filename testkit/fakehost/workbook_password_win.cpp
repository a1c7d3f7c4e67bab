#include "testkit/fakehost/workbook_password_win.h"

#include <fstream>
#include <iterator>

#include "office/agile_encryption.h"
#include "office/crypto_primitives.h"
#include "office/encrypted_package_file.h"
#include "office/encryption_info.h"
#include "office/loader_format_error.h"

PasswordCheck CheckWorkbookPassword(const std::wstring& path, const VARIANT* password) {
  std::ifstream in(path.c_str(), std::ios::binary);
  const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!IsEncryptedPackage(file)) return PasswordCheck::kNotEncrypted;
  if (password == nullptr || password->vt != VT_BSTR || password->bstrVal == nullptr) return PasswordCheck::kMissing;
  const std::u16string text(reinterpret_cast<const char16_t*>(password->bstrVal), SysStringLen(password->bstrVal));
  try {
    const AgileEncryptionInfo info = ReadEncryptionInfo(ReadEncryptedPackageFile(file).encryptionInfo);
    return UnlockWithPassword(info, text).empty() ? PasswordCheck::kWrong : PasswordCheck::kRight;
  } catch (const LoaderFormatError&) {
    return PasswordCheck::kUnreadable;
  } catch (const CryptoError&) {
    return PasswordCheck::kUnreadable;
  }
}

long long SaveWithPassword(const std::wstring& path, const std::u16string& savedWith, const std::u16string& password,
                           const std::string& text) {
  try {
    std::ifstream in(path.c_str(), std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    const std::string plain = (savedWith.empty() ? file : DecryptWorkbookPackage(file, savedWith)) + text;
    const std::string saved =
        password.empty() ? plain
                         : EncryptWorkbookPackage(plain, password, EncryptionSeedsFor(crypto::RandomBytes(32), plain));
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out.write(saved.data(), static_cast<std::streamsize>(saved.size()));
    return out ? static_cast<long long>(saved.size()) : -1;
  } catch (const std::exception&) {
    return -1;
  }
}

const char* PasswordCheckName(PasswordCheck check) {
  switch (check) {
    case PasswordCheck::kNotEncrypted: return "none";
    case PasswordCheck::kRight: return "right";
    case PasswordCheck::kWrong: return "wrong";
    case PasswordCheck::kMissing: return "missing";
    case PasswordCheck::kUnreadable: return "unreadable";
  }
  return "unreadable";
}
