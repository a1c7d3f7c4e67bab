#include "packer/pe_checksum.h"

uint32_t ComputePeChecksum(std::string_view file, size_t checksumOffset) {
  uint32_t sum = 0;
  const size_t size = file.size();
  for (size_t i = 0; i < size; i += 2) {
    if (i == checksumOffset || i == checksumOffset + 2) continue;
    uint32_t word = static_cast<unsigned char>(file[i]);
    if (i + 1 < size) word |= static_cast<uint32_t>(static_cast<unsigned char>(file[i + 1])) << 8;
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return sum + static_cast<uint32_t>(size);
}
