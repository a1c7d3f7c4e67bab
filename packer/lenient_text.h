#pragma once
// Text for reports and messages, where showing something beats failing: names and
// fields read from a file may hold unpaired surrogates.
#include <string>
#include <string_view>

// UTF-16 to UTF-8; each unpaired surrogate becomes U+FFFD.
std::string LenientUtf8(std::u16string_view text);
