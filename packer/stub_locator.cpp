#include "packer/stub_locator.h"

#include <vector>

#include "packer/file_io.h"
#include "packer/pack_error.h"

namespace fs = std::filesystem;

std::string StubFileName(const std::string& arch) { return "sheetpack-stub-" + arch + ".exe"; }

namespace {

std::vector<fs::path> StubCandidates(const std::string& arch, const fs::path& executable) {
  const std::string name = StubFileName(arch);
  std::vector<fs::path> candidates;
  if (!executable.empty()) {
    candidates.push_back(executable.parent_path().parent_path() / "share" / "sheetpack" / name);
  }
  candidates.push_back(PathFromUtf8(arch == "x86" ? SHEETPACK_STUB_DIR_X86 : SHEETPACK_STUB_DIR_X64) / name);
  return candidates;
}

}  // namespace

fs::path LocateStub(const std::string& arch, const fs::path& executable) {
  std::string looked;
  for (const fs::path& candidate : StubCandidates(arch, executable)) {
    std::error_code error;
    if (fs::is_regular_file(candidate, error)) return candidate;
    looked += (looked.empty() ? "" : ", ") + PathToUtf8(candidate);
  }
  throw BadInput(StubFileName(arch), "not found (looked in " + looked + "); name a stub with --stub");
}
