// A loader workbook is read by `sheetpack inspect` and by the stand-in host, and a kit
// may bring any file as one: the compound file, the dir stream and the compressed
// module sources all come from outside. What reads back must also survive the writers.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "office/compound_file.h"
#include "office/loader_format_error.h"
#include "office/vba_project.h"
#include "office/ovba_compression.h"

namespace {

void CheckSameTree(const CfbEntry& a, const CfbEntry& b) {
  FUZZ_CHECK(a.storage == b.storage && a.data == b.data && a.children.size() == b.children.size());
  for (const CfbEntry& child : a.children) {
    const CfbEntry* other = b.Find(child.name);
    FUZZ_CHECK(other != nullptr);
    CheckSameTree(child, *other);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(data), size);

  try {
    const std::string plain = OvbaDecompress(file);
    FUZZ_CHECK(OvbaDecompress(OvbaCompress(plain)) == plain);
  } catch (const LoaderFormatError&) {
  }

  try {
    for (const VbaModule& module : ReadWorkbookModules(file)) {
      FUZZ_CHECK(OvbaDecompress(OvbaCompress(module.source)) == module.source);
    }
  } catch (const LoaderFormatError&) {
  }

  // A tree that reads back and that the writer can hold (names of 1 to 31 units, no two
  // alike in a storage) is written and read again unchanged.
  CfbEntry tree;
  try {
    tree = ReadCompoundFile(file);
  } catch (const LoaderFormatError&) {
    return 0;
  }
  std::string written;
  try {
    written = WriteCompoundFile(tree);
  } catch (const LoaderFormatError&) {
    return 0;
  }
  CheckSameTree(tree, ReadCompoundFile(written));
  return 0;
}
