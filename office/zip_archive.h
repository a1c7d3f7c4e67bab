#pragma once
// Zip archives (APPNOTE): the central directory and the entries it lists, stored or
// deflated, with the zip64 extensions. The container of OOXML packages.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "office/byte_source.h"

class PackageFormatError : public std::runtime_error {
 public:
  explicit PackageFormatError(const std::string& what) : std::runtime_error(what) {}
};

struct ZipEntry {
  std::string name;  // as stored: a path with '/' between its folders
  uint16_t flags = 0;
  uint16_t method = 0;  // 0 stored, 8 deflated
  uint32_t crc = 0;
  uint64_t compressedSize = 0;
  uint64_t size = 0;
  uint64_t localHeaderOffset = 0;
};

// True when the source ends with a zip's end-of-central-directory record.
bool IsZipArchive(const ByteSource& source);

// The central directory's entries in their order. Throws PackageFormatError when the
// source is not a zip archive or its directory is damaged.
std::vector<ZipEntry> ReadZipDirectory(const ByteSource& source);

// The entry's bytes, inflated. Throws PackageFormatError when it is encrypted, uses
// another method, is damaged, or holds more than `maxSize` bytes (at most 1 GiB).
std::string ReadZipEntry(const ByteSource& source, const ZipEntry& entry, size_t maxSize);
