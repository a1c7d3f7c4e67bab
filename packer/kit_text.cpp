#include "packer/kit_text.h"

#include <stdexcept>

#include "core/encoding/utf.h"

namespace {

constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool StartsWith(std::string_view bytes, std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; }

std::u16string Utf16Text(std::string_view bytes, bool bigEndian) {
  if (bytes.size() % 2) throw std::runtime_error("not UTF-16 text (odd length after its byte-order mark)");
  std::u16string text = bigEndian ? Utf16BeBytesToString(bytes) : Utf16LeBytesToString(bytes);
  Utf16ToUtf8(text);  // throws on an unpaired surrogate
  return text;
}

std::u16string DecodeKitText(std::string_view bytes) {
  if (StartsWith(bytes, kUtf16LeMark)) return Utf16Text(bytes.substr(kUtf16LeMark.size()), false);
  if (StartsWith(bytes, kUtf16BeMark)) return Utf16Text(bytes.substr(kUtf16BeMark.size()), true);
  if (StartsWith(bytes, kUtf8Mark)) bytes.remove_prefix(kUtf8Mark.size());
  std::u16string text = Utf8ToUtf16(bytes);
  // No name holds U+0000, but every ASCII character of UTF-16 text does: such a file is
  // UTF-16 that lacks its mark, and reading it as UTF-8 would garble every name.
  if (text.find(u'\0') != std::u16string::npos) {
    throw std::runtime_error("holds U+0000: UTF-16 text needs a byte-order mark");
  }
  return text;
}

// Every line ends with CR LF, whether it ended with LF, CR or CR LF.
std::u16string WithCrLf(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c != u'\r' && c != u'\n') {
      out.push_back(c);
      continue;
    }
    out += u"\r\n";
    if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
  }
  return out;
}

}  // namespace

std::string KitTextToNameTable(std::string_view bytes) { return StringToUtf16LeBytes(WithCrLf(DecodeKitText(bytes))); }
