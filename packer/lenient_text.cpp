#include "packer/lenient_text.h"

#include <stdexcept>

#include "core/encoding/utf.h"

namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The length of the sequence a lead byte starts; 0 for a byte that cannot start one.
size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

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

std::u16string LenientUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t length = SequenceLength(static_cast<unsigned char>(text[i]));
    bool whole = length != 0 && i + length <= text.size();
    for (size_t k = 1; whole && k < length; ++k) whole = IsContinuation(static_cast<unsigned char>(text[i + k]));
    if (whole && length > 1) {
      // The strict converter also refuses overlong forms and surrogates.
      try {
        out += Utf8ToUtf16(text.substr(i, length));
      } catch (const std::exception&) {
        whole = false;
      }
    } else if (whole) {
      out += static_cast<char16_t>(text[i]);
    }
    if (!whole) {
      out += u'\uFFFD';
      i += 1;
    } else {
      i += length;
    }
  }
  return out;
}

size_t CompleteUtf8Prefix(std::string_view text) {
  // A cut sequence is at most three bytes long; look back for its lead byte.
  for (size_t back = 1; back <= 3 && back <= text.size(); ++back) {
    const auto c = static_cast<unsigned char>(text[text.size() - back]);
    if (IsContinuation(c)) continue;
    const size_t length = SequenceLength(c);
    return length > back ? text.size() - back : text.size();
  }
  return text.size();
}
