#include "packer/lenient_text.h"

#include "core/encoding/utf.h"

namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::string LenientUtf8(std::u16string_view text) {
  std::u16string repaired;
  repaired.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      repaired.push_back(c);
      repaired.push_back(text[++i]);
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      repaired.push_back(u'\uFFFD');
    } else {
      repaired.push_back(c);
    }
  }
  return Utf16ToUtf8(repaired);
}
