// The agile EncryptionInfo stream: a version header, then one XML document. The XML is
// small and its shape fixed, so attributes are written and found by name rather than
// through a general XML parser.
#include "office/encryption_info.h"

#include <cstdint>
#include <string>

#include "core/encoding/byte_io.h"
#include "office/loader_format_error.h"

namespace {

constexpr uint16_t kAgileMajor = 4;
constexpr uint16_t kAgileMinor = 4;
constexpr uint32_t kAgileFlags = 0x40;  // fAgile
constexpr char kPasswordUri[] = "http://schemas.microsoft.com/office/2006/keyEncryptor/password";
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The cipher attributes keyData and the password's encryptedKey share.
std::string CipherAttributes(std::string_view salt) {
  return "saltSize=\"16\" blockSize=\"16\" keyBits=\"256\" hashSize=\"64\" cipherAlgorithm=\"AES\" "
         "cipherChaining=\"ChainingModeCBC\" hashAlgorithm=\"SHA512\" saltValue=\"" +
         Base64Encode(salt) + "\"";
}

// The element named `tag` that starts at or after `from` (its text up to '>').
std::string_view Element(std::string_view xml, std::string_view tag, size_t from = 0) {
  const std::string open = "<" + std::string(tag);
  for (size_t at = xml.find(open, from); at != std::string_view::npos; at = xml.find(open, at + 1)) {
    const char next = at + open.size() < xml.size() ? xml[at + open.size()] : '\0';
    if (next != ' ' && next != '\t' && next != '\r' && next != '\n' && next != '/' && next != '>') continue;
    const size_t end = xml.find('>', at);
    if (end == std::string_view::npos) break;
    return xml.substr(at, end - at);
  }
  throw LoaderFormatError("the encryption information has no <" + std::string(tag) + "> element");
}

std::string Attribute(std::string_view element, std::string_view name) {
  const std::string key = " " + std::string(name) + "=\"";
  size_t at = element.find(key);
  if (at == std::string_view::npos) {
    // attributes may be separated by any whitespace
    for (const char space : {'\t', '\r', '\n'}) {
      std::string other = key;
      other[0] = space;
      at = element.find(other);
      if (at != std::string_view::npos) break;
    }
  }
  if (at == std::string_view::npos) {
    throw LoaderFormatError("the encryption information lacks the attribute " + std::string(name));
  }
  const size_t start = at + key.size();
  const size_t end = element.find('"', start);
  if (end == std::string_view::npos) throw LoaderFormatError("the encryption information is cut short");
  return std::string(element.substr(start, end - start));
}

void Require(std::string_view element, std::string_view name, std::string_view expected) {
  const std::string value = Attribute(element, name);
  if (value != expected) {
    throw LoaderFormatError("the workbook is encrypted with " + std::string(name) + " " + value + ", not " +
                            std::string(expected));
  }
}

void RequireAes256Sha512(std::string_view element) {
  Require(element, "cipherAlgorithm", "AES");
  Require(element, "cipherChaining", "ChainingModeCBC");
  Require(element, "hashAlgorithm", "SHA512");
  Require(element, "keyBits", "256");
  Require(element, "blockSize", "16");
  Require(element, "hashSize", "64");
}

}  // namespace

std::string Base64Encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t n = std::min<size_t>(3, bytes.size() - i);
    uint32_t group = 0;
    for (size_t k = 0; k < 3; ++k) group = (group << 8) | (k < n ? static_cast<uint8_t>(bytes[i + k]) : 0u);
    for (size_t k = 0; k < 4; ++k) out += k <= n ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=';
  }
  return out;
}

std::string Base64Decode(std::string_view text) {
  std::string out;
  uint32_t bits = 0;
  int count = 0;
  for (const char c : text) {
    if (c == '=' || c == ' ' || c == '\r' || c == '\n' || c == '\t') continue;
    const char* found = std::char_traits<char>::find(kAlphabet, 64, c);
    if (found == nullptr) throw LoaderFormatError("the encryption information holds a value that is not base64");
    bits = (bits << 6) | static_cast<uint32_t>(found - kAlphabet);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out += static_cast<char>((bits >> count) & 0xFF);
    }
  }
  return out;
}

std::string WriteEncryptionInfo(const AgileEncryptionInfo& info) {
  std::string out;
  AppendU16(out, kAgileMajor);
  AppendU16(out, kAgileMinor);
  AppendU32(out, kAgileFlags);
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
  out += "<encryption xmlns=\"http://schemas.microsoft.com/office/2006/encryption\" "
         "xmlns:p=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\">";
  out += "<keyData " + CipherAttributes(info.keyDataSalt) + "/>";
  out += "<dataIntegrity encryptedHmacKey=\"" + Base64Encode(info.encryptedHmacKey) + "\" encryptedHmacValue=\"" +
         Base64Encode(info.encryptedHmacValue) + "\"/>";
  out += "<keyEncryptors><keyEncryptor uri=\"" + std::string(kPasswordUri) + "\">";
  out += "<p:encryptedKey spinCount=\"" + std::to_string(info.spinCount) + "\" " +
         CipherAttributes(info.passwordSalt) + " encryptedVerifierHashInput=\"" +
         Base64Encode(info.encryptedVerifierHashInput) + "\" encryptedVerifierHashValue=\"" +
         Base64Encode(info.encryptedVerifierHashValue) + "\" encryptedKeyValue=\"" +
         Base64Encode(info.encryptedKeyValue) + "\"/>";
  out += "</keyEncryptor></keyEncryptors></encryption>";
  return out;
}

AgileEncryptionInfo ReadEncryptionInfo(std::string_view stream) {
  ByteReader reader(stream);
  const uint16_t major = reader.U16();
  const uint16_t minor = reader.U16();
  if (major != kAgileMajor || minor != kAgileMinor) {
    throw LoaderFormatError("the workbook is encrypted with encryption version " + std::to_string(major) + "." +
                            std::to_string(minor) + " (standard or extensible encryption), not agile encryption");
  }
  if (stream.size() < 8) throw LoaderFormatError("the encryption information is cut short");
  const std::string_view xml = stream.substr(8);

  AgileEncryptionInfo info;
  const std::string_view keyData = Element(xml, "keyData");
  RequireAes256Sha512(keyData);
  info.keyDataSalt = Base64Decode(Attribute(keyData, "saltValue"));

  const std::string_view integrity = Element(xml, "dataIntegrity");
  info.encryptedHmacKey = Base64Decode(Attribute(integrity, "encryptedHmacKey"));
  info.encryptedHmacValue = Base64Decode(Attribute(integrity, "encryptedHmacValue"));

  // The password's key encryptor; a certificate encryptor beside it is not ours to use.
  const std::string uriAttribute = std::string("uri=\"") + kPasswordUri + "\"";
  const size_t encryptor = xml.find(uriAttribute);
  if (encryptor == std::string_view::npos) {
    throw LoaderFormatError("the workbook is not encrypted with a password");
  }
  const std::string_view key = Element(xml, "p:encryptedKey", encryptor);
  RequireAes256Sha512(key);
  const std::string spin = Attribute(key, "spinCount");
  if (spin.empty() || spin.size() > 7 || spin.find_first_not_of("0123456789") != std::string::npos) {
    throw LoaderFormatError("the encryption information has a spin count out of range: " + spin);
  }
  info.spinCount = static_cast<unsigned>(std::stoul(spin));
  info.passwordSalt = Base64Decode(Attribute(key, "saltValue"));
  info.encryptedVerifierHashInput = Base64Decode(Attribute(key, "encryptedVerifierHashInput"));
  info.encryptedVerifierHashValue = Base64Decode(Attribute(key, "encryptedVerifierHashValue"));
  info.encryptedKeyValue = Base64Decode(Attribute(key, "encryptedKeyValue"));
  if (info.keyDataSalt.size() != 16 || info.passwordSalt.size() != 16) {
    throw LoaderFormatError("the encryption information has salts of the wrong size");
  }
  return info;
}
