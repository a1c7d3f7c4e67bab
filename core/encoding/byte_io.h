#pragma once
// Little-endian reading and writing of byte strings. Every binary format of the
// launcher goes through ByteReader, which never reads past the end: a missing byte
// reads as 0, so a truncated record yields zeros instead of undefined behaviour.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes, size_t position = 0)
      : bytes_(bytes), position_(position) {}

  uint8_t U8();
  uint16_t U16();
  uint32_t U32();
  uint64_t U64();
  double F64();

  // The next n bytes, or fewer when the data ends first; advances past what it returns.
  std::string_view Take(size_t n);
  // Advances by n, stopping at the end.
  void Skip(size_t n);

  size_t Position() const { return position_; }
  size_t Remaining() const { return position_ < bytes_.size() ? bytes_.size() - position_ : 0; }
  bool AtEnd() const { return Remaining() == 0; }

 private:
  std::string_view bytes_;
  size_t position_;
};

// Reads at a fixed offset without a reader; missing bytes read as 0.
uint16_t ReadU16At(std::string_view bytes, size_t offset);
uint32_t ReadU32At(std::string_view bytes, size_t offset);

void AppendU8(std::string& out, uint8_t value);
void AppendU16(std::string& out, uint16_t value);
void AppendU32(std::string& out, uint32_t value);
void AppendU64(std::string& out, uint64_t value);
void AppendF64(std::string& out, double value);
void StoreU16At(std::string& out, size_t offset, uint16_t value);
void StoreU32At(std::string& out, size_t offset, uint32_t value);

// The bytes as lower-case hex digits, two a byte.
std::string LowerHex(std::string_view bytes);
