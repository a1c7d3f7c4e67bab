#pragma once
// The host's major version from its Version text.
#include <cstdint>
#include <string_view>

// The leading decimal integer of `text`: optional white space and sign, then digits up
// to the first non-digit ("16.0" gives 16; text without leading digits gives 0). A value
// beyond the 32-bit range saturates.
int32_t ParseHostVersion(std::u16string_view text);
