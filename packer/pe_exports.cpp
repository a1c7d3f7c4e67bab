#include "packer/pe_exports.h"

#include <algorithm>

#include "core/encoding/byte_io.h"

namespace {

constexpr size_t kDirectoryExport = 0;
constexpr uint32_t kExportDirectorySize = 40;
constexpr uint32_t kNameCountOffset = 24;
constexpr uint32_t kNameTableOffset = 32;
// No DLL exports more names than this; a larger count is a damaged directory.
constexpr uint32_t kMaxNames = 65536;
constexpr uint32_t kMaxNameLength = 4096;

}  // namespace

std::vector<std::string> ExportedNames(const PeImage& image) {
  std::vector<std::string> names;
  const PeDataDirectory directory = image.Directory(kDirectoryExport);
  if (directory.rva == 0) return names;
  const auto header = image.ReadRva(directory.rva, kExportDirectorySize);
  if (!header) return names;
  const uint32_t count = ReadU32At(*header, kNameCountOffset);
  const uint32_t table = ReadU32At(*header, kNameTableOffset);
  if (count > kMaxNames) return names;
  const auto rvas = image.ReadRva(table, count * 4);
  if (!rvas) return names;
  for (uint32_t i = 0; i < count; ++i) {
    const std::string_view raw = image.RawFrom(ReadU32At(*rvas, i * 4));
    const std::string_view bounded = raw.substr(0, std::min<size_t>(raw.size(), kMaxNameLength));
    const size_t end = bounded.find('\0');
    if (end != std::string_view::npos) names.emplace_back(bounded.substr(0, end));
  }
  return names;
}

bool ExportsName(const PeImage& image, const std::string& name) {
  const std::vector<std::string> names = ExportedNames(image);
  return std::find(names.begin(), names.end(), name) != names.end();
}
