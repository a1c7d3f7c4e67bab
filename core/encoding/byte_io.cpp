#include "core/encoding/byte_io.h"

#include <cstring>

uint8_t ByteReader::U8() {
  if (Remaining() == 0) return 0;
  return static_cast<uint8_t>(bytes_[position_++]);
}

uint16_t ByteReader::U16() {
  uint16_t low = U8();
  return static_cast<uint16_t>(low | (U8() << 8));
}

uint32_t ByteReader::U32() {
  uint32_t low = U16();
  return low | (static_cast<uint32_t>(U16()) << 16);
}

uint64_t ByteReader::U64() {
  uint64_t low = U32();
  return low | (static_cast<uint64_t>(U32()) << 32);
}

double ByteReader::F64() {
  uint64_t bits = U64();
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::string_view ByteReader::Take(size_t n) {
  size_t available = Remaining();
  if (n > available) n = available;
  std::string_view taken = available ? bytes_.substr(position_, n) : std::string_view();
  position_ += n;
  return taken;
}

void ByteReader::Skip(size_t n) { Take(n); }

uint16_t ReadU16At(std::string_view bytes, size_t offset) { return ByteReader(bytes, offset).U16(); }

uint32_t ReadU32At(std::string_view bytes, size_t offset) { return ByteReader(bytes, offset).U32(); }

void AppendU8(std::string& out, uint8_t value) { out.push_back(static_cast<char>(value)); }

void AppendU16(std::string& out, uint16_t value) {
  AppendU8(out, static_cast<uint8_t>(value));
  AppendU8(out, static_cast<uint8_t>(value >> 8));
}

void AppendU32(std::string& out, uint32_t value) {
  AppendU16(out, static_cast<uint16_t>(value));
  AppendU16(out, static_cast<uint16_t>(value >> 16));
}

void AppendU64(std::string& out, uint64_t value) {
  AppendU32(out, static_cast<uint32_t>(value));
  AppendU32(out, static_cast<uint32_t>(value >> 32));
}

void AppendF64(std::string& out, double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  AppendU64(out, bits);
}

void StoreU16At(std::string& out, size_t offset, uint16_t value) {
  if (out.size() < offset + 2) out.resize(offset + 2);
  out[offset] = static_cast<char>(value);
  out[offset + 1] = static_cast<char>(value >> 8);
}

void StoreU32At(std::string& out, size_t offset, uint32_t value) {
  StoreU16At(out, offset, static_cast<uint16_t>(value));
  StoreU16At(out, offset + 2, static_cast<uint16_t>(value >> 16));
}

std::string LowerHex(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (const char b : bytes) {
    out += digits[static_cast<uint8_t>(b) >> 4];
    out += digits[static_cast<uint8_t>(b) & 0xF];
  }
  return out;
}
