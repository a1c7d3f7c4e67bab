#pragma once
// What a packaged application can hold. A packed item's sizes are 32-bit fields (at most
// 4 GiB), and Windows maps an executable image only below 2 GiB: the image must fit the
// lower half of a process's address space.
#include <cstdint>
#include <filesystem>
#include <string>

#include "packer/pack_config.h"

constexpr uint64_t kMaxImageSize = uint64_t{1} << 31;  // an image must stay below this

// True when the workbook is stored as it is rather than compressed (it is encrypted).
bool WorkbookStoredPlain(const PackConfig& config);

// Throws PackError (bad input) naming the file when it is larger than a packed item holds
// (with `extra` bytes the item adds, such as the workbook's marker). Returns its size, 0
// when it cannot be read (left to the reader).
uint64_t CheckItemFileSize(const std::filesystem::path& file, uint64_t extra);

// The most the packed items may take together beside the stub.
uint64_t ItemBudget(uint64_t stubSize);

// The problem, for a message naming the file, of an item of `itemSize` bytes (compressed:
// at least that many) that takes the executable past its limit.
std::string ImageLimitProblem(uint64_t itemSize, bool compressed);
