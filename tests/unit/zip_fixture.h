#pragma once
// Zip archives and OOXML packages made in memory for the tests and the fuzzers' seeds:
// entries stored or deflated, an optional archive comment, and the zip64 end records.
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/encoding/byte_io.h"

struct ZipFixtureEntry {
  std::string name;
  std::string data;
  bool deflate = true;
};

inline std::string RawDeflate(const std::string& data) {
  z_stream stream{};
  deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

inline uint32_t Crc32(const std::string& data) {
  return static_cast<uint32_t>(
      crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

// With `zip64`, the end record's counts and the directory's place are 0xFFFF... and the
// real ones stand in the zip64 end record.
inline std::string ZipFixture(const std::vector<ZipFixtureEntry>& entries, const std::string& comment = "",
                              bool zip64 = false) {
  std::string file;
  std::string directory;
  for (const ZipFixtureEntry& entry : entries) {
    const std::string stored = entry.deflate ? RawDeflate(entry.data) : entry.data;
    const uint16_t method = entry.deflate ? 8 : 0;
    const uint32_t offset = static_cast<uint32_t>(file.size());
    AppendU32(file, 0x04034B50);
    for (uint16_t value : {uint16_t{20}, uint16_t{0}, method, uint16_t{0}, uint16_t{0}}) AppendU16(file, value);
    AppendU32(file, Crc32(entry.data));
    AppendU32(file, static_cast<uint32_t>(stored.size()));
    AppendU32(file, static_cast<uint32_t>(entry.data.size()));
    AppendU16(file, static_cast<uint16_t>(entry.name.size()));
    AppendU16(file, 0);
    file += entry.name + stored;

    AppendU32(directory, 0x02014B50);
    for (uint16_t value : {uint16_t{20}, uint16_t{20}, uint16_t{0}, method, uint16_t{0}, uint16_t{0}}) {
      AppendU16(directory, value);
    }
    AppendU32(directory, Crc32(entry.data));
    AppendU32(directory, static_cast<uint32_t>(stored.size()));
    AppendU32(directory, static_cast<uint32_t>(entry.data.size()));
    AppendU16(directory, static_cast<uint16_t>(entry.name.size()));
    for (int i = 0; i < 4; ++i) AppendU16(directory, 0);  // extra, comment, disk, internal attributes
    AppendU32(directory, 0);
    AppendU32(directory, offset);
    directory += entry.name;
  }
  const uint64_t directoryOffset = file.size();
  file += directory;
  if (zip64) {
    const uint64_t recordOffset = file.size();
    AppendU32(file, 0x06064B50);
    AppendU64(file, 44);
    AppendU16(file, 45);
    AppendU16(file, 45);
    AppendU32(file, 0);
    AppendU32(file, 0);
    AppendU64(file, entries.size());
    AppendU64(file, entries.size());
    AppendU64(file, directory.size());
    AppendU64(file, directoryOffset);
    AppendU32(file, 0x07064B50);
    AppendU32(file, 0);
    AppendU64(file, recordOffset);
    AppendU32(file, 1);
  }
  AppendU32(file, 0x06054B50);
  AppendU16(file, 0);
  AppendU16(file, 0);
  AppendU16(file, zip64 ? 0xFFFF : static_cast<uint16_t>(entries.size()));
  AppendU16(file, zip64 ? 0xFFFF : static_cast<uint16_t>(entries.size()));
  AppendU32(file, zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(directory.size()));
  AppendU32(file, zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(directoryOffset));
  AppendU16(file, static_cast<uint16_t>(comment.size()));
  return file + comment;
}

// An OOXML package whose main part xl/workbook.xml has `mainType`, with
// xl/vbaProject.bin (typed by its extension) when `vba` is set.
inline std::string OoxmlFixture(const std::string& mainType, bool vba, const std::string& vbaProject = "VBA") {
  std::string types =
      "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
      "<Default Extension=\"bin\" ContentType=\"application/vnd.ms-office.vbaProject\"/>"
      "<Override PartName=\"/xl/workbook.xml\" ContentType=\"" + mainType + "\"/></Types>";
  const std::string relationships =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rId1\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
      "Target=\"xl/workbook.xml\"/></Relationships>";
  std::vector<ZipFixtureEntry> entries = {
      {"[Content_Types].xml", types}, {"_rels/.rels", relationships},
      {"xl/workbook.xml", "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"/>"}};
  if (vba) entries.push_back({"xl/vbaProject.bin", vbaProject, false});
  return ZipFixture(entries);
}
