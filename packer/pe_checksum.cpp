#include "packer/pe_checksum.h"

uint32_t ComputePeChecksum(std::string_view file, size_t checksumOffset) {
  PeChecksum checksum(checksumOffset);
  checksum.Add(file);
  return checksum.Finish();
}

void PeChecksum::AddWord(uint64_t offset, uint32_t word) {
  if (offset == checksumOffset_ || offset == checksumOffset_ + 2) return;
  sum_ += word;
  sum_ = (sum_ & 0xFFFF) + (sum_ >> 16);
}

void PeChecksum::Add(std::string_view piece) {
  size_t i = 0;
  if (pendingByte_ >= 0 && !piece.empty()) {
    AddWord(size_ - 1, static_cast<uint32_t>(pendingByte_) | uint32_t{static_cast<unsigned char>(piece[0])} << 8);
    pendingByte_ = -1;
    i = 1;
  }
  const uint64_t base = size_;
  for (; i + 1 < piece.size(); i += 2) {
    AddWord(base + i, static_cast<unsigned char>(piece[i]) | uint32_t{static_cast<unsigned char>(piece[i + 1])} << 8);
  }
  if (i < piece.size()) pendingByte_ = static_cast<unsigned char>(piece[i]);
  size_ += piece.size();
}

uint32_t PeChecksum::Finish() {
  if (pendingByte_ >= 0) {
    AddWord(size_ - 1, static_cast<uint32_t>(pendingByte_));  // a last odd byte counts as a word of its own
    pendingByte_ = -1;
  }
  const uint32_t sum = (sum_ & 0xFFFF) + (sum_ >> 16);
  return sum + static_cast<uint32_t>(size_);
}
