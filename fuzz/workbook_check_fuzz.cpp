// The author's workbook is checked before it is packed: zip archives, OOXML content
// types and relationships, and compound files come from outside. Whatever the bytes,
// the check ends with a verdict, and an entry that reads back has its stated size.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "office/zip_archive.h"
#include "packer/pack_error.h"
#include "packer/workbook_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  const MemorySource source(file);

  const WorkbookContents contents = IdentifyWorkbook(source);
  FUZZ_CHECK(!contents.description.empty());
  FUZZ_CHECK(contents.format.empty() || contents.format[0] == '.' || contents.format == "?");
  std::vector<std::string> warnings;
  try {
    const int32_t format = CheckWorkbook("item.bin", source, true, warnings);
    FUZZ_CHECK(format == 52 || format == 50 || format == -4143);
  } catch (const PackError&) {
  }

  try {
    for (const ZipEntry& entry : ReadZipDirectory(source)) {
      try {
        FUZZ_CHECK(ReadZipEntry(source, entry, 1 << 20).size() == entry.size);
      } catch (const PackageFormatError&) {
      }
    }
  } catch (const PackageFormatError&) {
  }
  return 0;
}
