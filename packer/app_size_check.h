#pragma once
// The size limits (packer/size_limits.h) applied to a whole application: checked from the
// files' sizes before anything is read or compressed, and once more when the items are
// packed.
#include <cstdint>

#include "packer/app_items.h"
#include "packer/pack_config.h"

// Throws PackError (bad input) naming the first input that cannot fit: larger than a
// packed item holds, or, stored as it is, too large for the executable beside the stub.
// Files that do not exist are left to the readers.
void CheckInputSizes(const PackConfig& config, const AddInKit& kit, uint64_t stubSize);

// Throws PackError (bad input) naming the workbook when the packed items together leave
// no room in the executable. (SaveExecutable checks the written image as well.)
void CheckPackedSize(const AppItems& items, const PackConfig& config, uint64_t stubSize);
