#include "core/encoding/utf.h"

#include <stdexcept>

#include <utf8.h>

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  try {
    utf8::utf8to16(utf8.begin(), utf8.end(), std::back_inserter(out));
  } catch (const utf8::exception& e) {
    throw std::runtime_error(std::string("invalid UTF-8: ") + e.what());
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  try {
    utf8::utf16to8(utf16.begin(), utf16.end(), std::back_inserter(out));
  } catch (const utf8::exception& e) {
    throw std::runtime_error(std::string("invalid UTF-16: ") + e.what());
  }
  return out;
}

bool IsValidUtf8(std::string_view bytes) { return utf8::is_valid(bytes.begin(), bytes.end()); }

namespace {

std::u16string Utf16BytesToString(std::string_view bytes, size_t highFirst) {
  std::u16string out;
  out.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    auto high = static_cast<unsigned char>(bytes[i + 1 - highFirst]);
    auto low = static_cast<unsigned char>(bytes[i + highFirst]);
    out.push_back(static_cast<char16_t>(low | (high << 8)));
  }
  return out;
}

}  // namespace

std::u16string Utf16LeBytesToString(std::string_view bytes) { return Utf16BytesToString(bytes, 0); }

std::u16string Utf16BeBytesToString(std::string_view bytes) { return Utf16BytesToString(bytes, 1); }

std::string StringToUtf16LeBytes(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char16_t c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

std::u16string WidenBytes(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (char c : bytes) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return out;
}
