#pragma once
// The version record (resource type 16, VS_VERSIONINFO) that Explorer shows in a
// file's properties: a fixed part with the binary versions and one string table.
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct VersionRecordFields {
  std::array<uint16_t, 4> fileVersion{};  // also the product version
  // Key and value pairs of the string table, in the order given (English, UTF-16).
  std::vector<std::pair<std::u16string, std::u16string>> strings;
};

std::string WriteVersionRecord(const VersionRecordFields& fields);
