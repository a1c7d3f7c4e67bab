#pragma once
// Text for reports and messages, where showing something beats failing: names and
// fields read from a file may hold unpaired surrogates.
#include <string>
#include <string_view>

// UTF-16 to UTF-8; each unpaired surrogate becomes U+FFFD.
std::string LenientUtf8(std::u16string_view text);

// UTF-8 to UTF-16; each byte that starts no valid sequence becomes U+FFFD.
std::u16string LenientUtf16(std::string_view text);

// The length of `text` without a sequence cut short at its end: what can be shown now,
// while the rest waits for the bytes still to come.
size_t CompleteUtf8Prefix(std::string_view text);
