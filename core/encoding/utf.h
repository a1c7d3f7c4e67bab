#pragma once
// Strict conversions between UTF-8 and UTF-16. Malformed input (an invalid byte
// sequence, an unpaired surrogate) throws std::runtime_error, never guesses.
#include <string>
#include <string_view>

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
bool IsValidUtf8(std::string_view bytes);

// UTF-16LE bytes <-> code units; an odd trailing byte is dropped.
std::u16string Utf16LeBytesToString(std::string_view bytes);
// UTF-16BE bytes to code units; an odd trailing byte is dropped.
std::u16string Utf16BeBytesToString(std::string_view bytes);
std::string StringToUtf16LeBytes(std::u16string_view text);

// Widens each byte to the character with the same code (0 to 255).
std::u16string WidenBytes(std::string_view bytes);
