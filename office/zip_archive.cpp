// Every offset and length comes from the archive and is checked against the source's
// size before it is used; nothing is allocated from a claim that the bytes cannot back.
#include "office/zip_archive.h"

#include <zlib.h>

#include <algorithm>
#include <optional>

#include "core/encoding/byte_io.h"

namespace {

constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kZip64EndSignature = 0x06064B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr size_t kEndSize = 22;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kZip64EndSize = 56;
constexpr size_t kCentralSize = 46;
constexpr size_t kLocalSize = 30;
constexpr size_t kLongestComment = 0xFFFF;
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
constexpr size_t kLargestEntry = size_t{1} << 30;  // zlib's 32-bit counts stay far from their end

PackageFormatError Damaged(const std::string& what) { return PackageFormatError("zip archive: " + what); }

struct Directory {
  uint64_t entries = 0;
  uint64_t size = 0;
  uint64_t offset = 0;
};

std::string ReadExactly(const ByteSource& source, uint64_t offset, uint64_t length, const char* what) {
  if (offset > source.Size() || length > source.Size() - offset) throw Damaged(std::string(what) + " lies past the end");
  return source.Read(offset, static_cast<size_t>(length));
}

// The end record is the last one whose comment reaches exactly to the end of the file;
// a signature inside a comment does not.
std::optional<uint64_t> FindEndRecord(const ByteSource& source) {
  const uint64_t size = source.Size();
  if (size < kEndSize) return std::nullopt;
  const uint64_t tailStart = size - std::min<uint64_t>(size, kEndSize + kLongestComment);
  const std::string tail = source.Read(tailStart, static_cast<size_t>(size - tailStart));
  for (size_t at = tail.size() - kEndSize + 1; at-- > 0;) {
    if (ReadU32At(tail, at) == kEndSignature && at + kEndSize + ReadU16At(tail, at + 20) == tail.size()) {
      return tailStart + at;
    }
  }
  return std::nullopt;
}

Directory ReadDirectoryLocation(const ByteSource& source, uint64_t endOffset) {
  const std::string end = source.Read(endOffset, kEndSize);
  Directory directory{ReadU16At(end, 10), ReadU32At(end, 12), ReadU32At(end, 16)};
  if (ReadU16At(end, 4) != 0 || ReadU16At(end, 6) != 0) throw Damaged("spans several disks");
  const bool zip64 = directory.entries == 0xFFFF || directory.size == 0xFFFFFFFF || directory.offset == 0xFFFFFFFF;
  if (!zip64) return directory;
  if (endOffset < kZip64LocatorSize) throw Damaged("its zip64 locator is missing");
  const std::string locator = source.Read(endOffset - kZip64LocatorSize, kZip64LocatorSize);
  if (ReadU32At(locator, 0) != kZip64LocatorSignature) throw Damaged("its zip64 locator is missing");
  ByteReader reader(locator, 8);
  const std::string record = ReadExactly(source, reader.U64(), kZip64EndSize, "the zip64 end record");
  if (ReadU32At(record, 0) != kZip64EndSignature) throw Damaged("its zip64 end record is missing");
  ByteReader fields(record, 32);
  directory.entries = fields.U64();
  directory.size = fields.U64();
  directory.offset = fields.U64();
  return directory;
}

// The 64-bit values that stand in for fields the central header marks 0xFFFFFFFF.
void ApplyZip64Extra(std::string_view extra, ZipEntry& entry, bool wideSize, bool wideCompressed, bool wideOffset) {
  ByteReader reader(extra);
  while (reader.Remaining() >= 4) {
    const uint16_t id = reader.U16();
    const uint16_t length = reader.U16();
    ByteReader field(reader.Take(length));
    if (id != kZip64ExtraId) continue;
    if (wideSize) entry.size = field.U64();
    if (wideCompressed) entry.compressedSize = field.U64();
    if (wideOffset) entry.localHeaderOffset = field.U64();
    return;
  }
  if (wideSize || wideCompressed || wideOffset) throw Damaged("entry '" + entry.name + "' lacks its zip64 sizes");
}

}  // namespace

bool IsZipArchive(const ByteSource& source) { return FindEndRecord(source).has_value(); }

std::vector<ZipEntry> ReadZipDirectory(const ByteSource& source) {
  const std::optional<uint64_t> end = FindEndRecord(source);
  if (!end) throw Damaged("no end-of-directory record");
  const Directory location = ReadDirectoryLocation(source, *end);
  const std::string directory = ReadExactly(source, location.offset, location.size, "the central directory");
  // Each entry takes at least a fixed header: a count beyond that is a lie.
  if (location.entries > directory.size() / kCentralSize) throw Damaged("the central directory is shorter than its count");

  std::vector<ZipEntry> entries;
  ByteReader reader(directory);
  for (uint64_t i = 0; i < location.entries; ++i) {
    const std::string_view header = reader.Take(kCentralSize);
    if (header.size() < kCentralSize || ReadU32At(header, 0) != kCentralSignature) {
      throw Damaged("central directory entry " + std::to_string(i) + " is damaged");
    }
    ZipEntry entry;
    entry.flags = ReadU16At(header, 8);
    entry.method = ReadU16At(header, 10);
    entry.crc = ReadU32At(header, 16);
    entry.compressedSize = ReadU32At(header, 20);
    entry.size = ReadU32At(header, 24);
    entry.localHeaderOffset = ReadU32At(header, 42);
    const size_t nameLength = ReadU16At(header, 28);
    const size_t extraLength = ReadU16At(header, 30);
    const size_t commentLength = ReadU16At(header, 32);
    if (reader.Remaining() < nameLength + extraLength + commentLength) {
      throw Damaged("central directory entry " + std::to_string(i) + " runs past the directory");
    }
    entry.name = std::string(reader.Take(nameLength));
    ApplyZip64Extra(reader.Take(extraLength), entry, entry.size == 0xFFFFFFFF, entry.compressedSize == 0xFFFFFFFF,
                    entry.localHeaderOffset == 0xFFFFFFFF);
    reader.Skip(commentLength);
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::string ReadZipEntry(const ByteSource& source, const ZipEntry& entry, size_t maxSize) {
  const std::string name = "entry '" + entry.name + "'";
  if (entry.flags & kFlagEncrypted) throw Damaged(name + " is encrypted");
  if (entry.method != kMethodStored && entry.method != kMethodDeflated) {
    throw Damaged(name + " uses compression method " + std::to_string(entry.method));
  }
  maxSize = std::min<size_t>(maxSize, kLargestEntry);
  if (entry.size > maxSize) throw Damaged(name + " is larger than " + std::to_string(maxSize) + " bytes");
  // Deflate never grows data by more than a few bytes per block.
  if (entry.compressedSize > entry.size + entry.size / 100 + 1024) throw Damaged(name + " has a wrong size");

  const std::string local = ReadExactly(source, entry.localHeaderOffset, kLocalSize, (name + "'s header").c_str());
  if (ReadU32At(local, 0) != kLocalSignature) throw Damaged(name + " has no local header");
  const uint64_t dataOffset = entry.localHeaderOffset + kLocalSize + ReadU16At(local, 26) + ReadU16At(local, 28);
  const std::string stored = ReadExactly(source, dataOffset, entry.compressedSize, (name + "'s data").c_str());

  std::string data;
  if (entry.method == kMethodStored) {
    if (entry.compressedSize != entry.size) throw Damaged(name + " has a wrong size");
    data = stored;
  } else {
    // One byte of room more than the entry's size: a stream that fills it holds more.
    data.resize(static_cast<size_t>(entry.size) + 1);
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) throw Damaged("zlib could not start");
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stored.data()));
    stream.avail_in = static_cast<uInt>(stored.size());
    stream.next_out = reinterpret_cast<Bytef*>(data.data());
    stream.avail_out = static_cast<uInt>(data.size());
    const int status = inflate(&stream, Z_FINISH);
    const bool whole = status == Z_STREAM_END && stream.total_out == entry.size;
    inflateEnd(&stream);
    if (!whole) throw Damaged(name + " does not inflate to its size");
    data.resize(static_cast<size_t>(entry.size));
  }
  const uLong crc = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
#ifndef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
  // A fuzzer's mutation almost never keeps the CRC-32 right, so its builds let a wrong
  // one pass: otherwise no mutated entry would ever reach the XML readers behind this one.
  if (crc != entry.crc) throw Damaged(name + " fails its CRC-32 check");
#else
  static_cast<void>(crc);
#endif
  return data;
}
