#pragma once
// The PE image checksum as Windows computes it (CheckSumMappedFile): the file summed
// as 16-bit little-endian words with end-around carry, the checksum field itself
// counted as zero, plus the file's length.
#include <cstddef>
#include <cstdint>
#include <string_view>

uint32_t ComputePeChecksum(std::string_view file, size_t checksumOffset);
