#pragma once
// A compound file whose directory is one long list: every stream entry linked to the next
// by its left link alone, so that a reader that recursed once per link would exhaust its
// stack. Shared by the reader's tests and the fuzzers' seeds.
#include <cstdint>
#include <string>
#include <vector>

#include "core/encoding/byte_io.h"
#include "office/compound_file.h"

inline std::string DirectoryAsOneLongList(uint32_t entries) {
  std::vector<CfbEntry> streams;
  for (uint32_t i = 0; i < entries; ++i) streams.push_back(CfbEntry::Stream("e" + std::to_string(i), ""));
  std::string file = WriteCompoundFile(CfbEntry::Storage("", std::move(streams)));
  const size_t directory = (size_t{ReadU32At(file, 0x30)} + 1) * 512;
  StoreU32At(file, directory + 0x4C, 1);  // the root's tree starts at entry 1
  for (uint32_t id = 1; id <= entries; ++id) {
    StoreU32At(file, directory + id * 128 + 0x44, id < entries ? id + 1 : 0xFFFFFFFF);
    StoreU32At(file, directory + id * 128 + 0x48, 0xFFFFFFFF);
  }
  return file;
}
