#pragma once
// Portable code keeps UTF-16 text in std::u16string; Windows calls take wchar_t, which
// is 16-bit there too, so the two convert by copying code units.
#include <string>
#include <string_view>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t is UTF-16 on Windows");

inline std::wstring ToWide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }
inline std::u16string FromWide(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }
