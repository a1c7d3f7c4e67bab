#include "packer/app_size_check.h"

#include <vector>

#include "core/payload/item_ids.h"
#include "packer/file_io.h"
#include "packer/pack_error.h"
#include "packer/size_limits.h"

namespace fs = std::filesystem;

namespace {

// The workbook item starts with a 4-byte marker before the workbook's own bytes.
constexpr uint64_t kWorkbookMarkerSize = 4;

struct Input {
  fs::path path;
  uint64_t extra;  // bytes the item adds to the file's own
  bool plain;      // stored as it is, not compressed
};

}  // namespace

void CheckInputSizes(const PackConfig& config, const AddInKit& kit, uint64_t stubSize) {
  std::vector<Input> inputs = {{config.workbook, kWorkbookMarkerSize, WorkbookStoredPlain(config)},
                               {kit.addIn32, 0, false},
                               {kit.addIn64, 0, false}};
  if (config.splash) inputs.push_back({*config.splash, 0, true});
  if (config.notice) inputs.push_back({*config.notice, 0, true});
  if (config.icon) inputs.push_back({*config.icon, 0, true});
  if (kit.folder) {
    for (const char* name : {"loader.xls", "1043.txt", "1045.txt"}) inputs.push_back({*kit.folder / name, 0, false});
    inputs.push_back({*kit.folder / "1200.bin", 0, true});
  }
  const uint64_t budget = ItemBudget(stubSize);
  for (const Input& input : inputs) {
    const uint64_t item = CheckItemFileSize(input.path, input.extra) + input.extra;
    if (input.plain && item > budget) throw BadInput(PathToUtf8(input.path), ImageLimitProblem(item, false));
  }
}

void CheckPackedSize(const AppItems& items, const PackConfig& config, uint64_t stubSize) {
  uint64_t total = 0;
  for (const auto& [id, bytes] : items.items) total += bytes.size();
  if (total > ItemBudget(stubSize)) {
    const auto workbook = items.items.find(ItemId::kWorkbook);
    const uint64_t size = workbook == items.items.end() ? total : workbook->second.size();
    throw BadInput(PathToUtf8(config.workbook), ImageLimitProblem(size, !WorkbookStoredPlain(config)));
  }
}
