#pragma once
// What `put` checks before it stores a file as an item: the same file `build` would
// refuse for that item is refused here too, and a new workbook keeps the settings
// record's workbook format in step with it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "packer/resource_tree.h"

// Checks `content` (the file `source`) as the item `id`. For the workbook (1020), which
// may carry its marker or be a container, returns its format code. Warnings are
// appended. Throws PackError (bad input) naming the file.
std::optional<int32_t> CheckPutItem(uint32_t id, const std::string& source, const std::string& content,
                                    std::vector<std::string>& warnings);

// Sets the workbook format of the settings record (item 1100) in `tree`, keeping the
// record's stored form. Returns the format it had, or nullopt when it had this one
// already. Throws PackError (bad input) when the executable has no record of the
// current layout, whose format field could be set.
std::optional<int32_t> SetWorkbookFormat(ResourceTree& tree, const std::string& executable, int32_t format);
