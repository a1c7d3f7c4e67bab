#pragma once
// Bytes read where they lie: a file of several gigabytes is looked into (a zip's
// directory at its end, one entry) without being read whole.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // The `length` bytes at `offset`, fewer where the source ends.
  virtual std::string Read(uint64_t offset, size_t length) const = 0;
};

// Bytes already in memory; they must outlive the source.
class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  uint64_t Size() const override { return bytes_.size(); }
  std::string Read(uint64_t offset, size_t length) const override {
    if (offset >= bytes_.size()) return {};
    return std::string(bytes_.substr(static_cast<size_t>(offset), length));
  }

 private:
  std::string_view bytes_;
};
