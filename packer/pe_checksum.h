#pragma once
// The PE image checksum as Windows computes it (CheckSumMappedFile): the file summed
// as 16-bit little-endian words with end-around carry, the checksum field itself
// counted as zero, plus the file's length.
#include <cstddef>
#include <cstdint>
#include <string_view>

uint32_t ComputePeChecksum(std::string_view file, size_t checksumOffset);

// The same sum over a file given in pieces, in order, of any length.
class PeChecksum {
 public:
  explicit PeChecksum(uint64_t checksumOffset) : checksumOffset_(checksumOffset) {}
  void Add(std::string_view piece);
  uint32_t Finish();

 private:
  void AddWord(uint64_t offset, uint32_t word);

  uint64_t checksumOffset_;
  uint64_t size_ = 0;
  uint32_t sum_ = 0;
  int pendingByte_ = -1;  // the first byte of a word split between two pieces
};
