#pragma once
// The form each packed item is stored in by the packer, and its name for the reader.
#include <cstdint>
#include <string>

#include "core/payload/item_ids.h"

// Items written as a packed-item container; the others are stored as plain bytes.
inline bool ItemIsPacked(uint32_t id) {
  switch (id) {
    case ItemId::kLoaderWorkbook:
    case ItemId::kWorkbook:
    case ItemId::kAddIn32:
    case ItemId::kAddIn64:
    case ItemId::kFunctionNames:
    case ItemId::kErrorNames:
      return true;
    default:
      return false;
  }
}

// What the item is, in a few words: "workbook", "settings"; "unknown" for an id no
// part of the application reads.
std::string ItemName(uint32_t id);
