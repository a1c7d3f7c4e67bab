#include "packer/size_limits.h"

#include <system_error>

#include "core/payload/packed_item.h"
#include "packer/file_io.h"
#include "packer/pack_error.h"

namespace fs = std::filesystem;

namespace {

// What the resource directory and the image's alignment add to the items at most.
constexpr uint64_t kLayoutSlack = 1 << 20;

std::string Bytes(uint64_t count) { return std::to_string(count) + " bytes"; }

}  // namespace

bool WorkbookStoredPlain(const PackConfig& config) {
  return config.protectWorkbook && LowerExtension(config.workbook) != ".xls";
}

uint64_t ItemBudget(uint64_t stubSize) {
  return stubSize + kLayoutSlack >= kMaxImageSize ? 0 : kMaxImageSize - stubSize - kLayoutSlack;
}

std::string ImageLimitProblem(uint64_t itemSize, bool compressed) {
  return (compressed ? "compresses to more than " : "makes an item of ") + Bytes(itemSize) +
         ": too large for the executable, which Windows starts only when it is below 2 GiB (" +
         Bytes(kMaxImageSize) + "), the stub and every item together";
}

uint64_t CheckItemFileSize(const fs::path& file, uint64_t extra) {
  std::error_code error;
  const uint64_t size = fs::is_regular_file(file, error) ? fs::file_size(file, error) : 0;
  if (error) return 0;
  if (size + extra > kMaxPackedItemSize) {
    throw BadInput(PathToUtf8(file), "is " + Bytes(size) + "; a packed item holds at most " +
                                         Bytes(kMaxPackedItemSize) + " (4 GiB)" +
                                         (extra ? ", the workbook's marker of " + Bytes(extra) + " included"
                                                : std::string()));
  }
  return size;
}
