#include "packer/shipped_files.h"

#include "packer/file_io.h"
#include "packer/pack_error.h"

namespace fs = std::filesystem;

namespace {

// Only the build's own sheetpack may reach into the build trees: an installed one taking
// a stub from a build tree that happens to exist would ship whatever was built there last.
bool RunFromBuildTree(const fs::path& executable) {
  std::error_code error;
  return !executable.empty() && fs::equivalent(executable.parent_path(), PathFromUtf8(SHEETPACK_BUILD_DIR), error);
}

}  // namespace

std::string StubFileName(const std::string& arch) { return "sheetpack-stub-" + arch + ".exe"; }

fs::path LocateShippedFile(const std::string& name, const fs::path& executable, const fs::path& buildTreeFolder) {
  const fs::path folder = RunFromBuildTree(executable) ? buildTreeFolder
                                                       : executable.parent_path().parent_path() / "share" / "sheetpack";
  const fs::path file = folder / PathFromUtf8(name);
  std::error_code error;
  if (!fs::is_regular_file(file, error)) throw BadInput(name, "not found in " + PathToUtf8(folder));
  return file;
}

fs::path LocateStub(const std::string& arch, const fs::path& executable) {
  const char* buildTree = arch == "x86" ? SHEETPACK_STUB_DIR_X86 : SHEETPACK_STUB_DIR_X64;
  try {
    return LocateShippedFile(StubFileName(arch), executable, PathFromUtf8(buildTree));
  } catch (const PackError& missing) {
    throw PackError(missing.Code(), std::string(missing.what()) + "; name a stub with --stub");
  }
}

fs::path LocateRuntimeAddIn(const std::string& arch, const fs::path& executable) {
  try {
    return LocateShippedFile("addin-" + arch + ".dll", executable, PathFromUtf8(SHEETPACK_RUNTIME_KIT_DIR));
  } catch (const PackError& missing) {
    throw PackError(missing.Code(), std::string(missing.what()) + "; name an add-in kit with \"addinKit\"");
  }
}
