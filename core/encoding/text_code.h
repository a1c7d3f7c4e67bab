#pragma once
// The launcher's 6-bit text code: four stored characters carry three bytes.
// Built-in texts, fixed names and some settings fields are kept in it.
#include <cstddef>
#include <string>
#include <string_view>

// Appends the bytes that `stored` decodes to (input ends at its first zero byte);
// returns how many were appended.
size_t DecodeTextCode(std::string_view stored, std::string& out);

// The inverse, for the packer and the table generator: DecodeTextCode of the result
// gives back `bytes` exactly.
std::string EncodeTextCode(std::string_view bytes);
