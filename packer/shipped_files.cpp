#include "packer/shipped_files.h"

#include <optional>
#include <sstream>

#include "packer/file_io.h"
#include "packer/pack_error.h"

namespace fs = std::filesystem;

namespace {

// The folder the build file beside `executable` gives for `key`; nullopt when there is no
// such file, so sheetpack is an installed one. Only a build's own sheetpack may reach into
// the build trees: an installed one taking a stub from a build tree that happens to exist
// would ship whatever was built there last.
std::optional<fs::path> BuildTreeFolder(const fs::path& executable, const std::string& key) {
  const fs::path file = executable.parent_path() / kBuildTreeFile;
  std::error_code error;
  if (!fs::is_regular_file(file, error)) return std::nullopt;
  std::istringstream lines(ReadFileBytes(file));
  for (std::string line; std::getline(lines, line);) {
    if (line.compare(0, key.size() + 1, key + "=") == 0) return PathFromUtf8(line.substr(key.size() + 1));
  }
  throw BadInput(PathToUtf8(file), "names no folder for '" + key + "'");
}

}  // namespace

std::string StubFileName(const std::string& arch) { return "sheetpack-stub-" + arch + ".exe"; }

fs::path LocateShippedFile(const std::string& name, const fs::path& executable, const std::string& buildTreeKey) {
  // Without its own place sheetpack would look in a folder relative to wherever it was
  // started, and pack whatever it found there.
  if (executable.empty()) throw BadInput(name, "sheetpack cannot tell where it is installed");
  const std::optional<fs::path> buildTree = BuildTreeFolder(executable, buildTreeKey);
  const fs::path folder = buildTree ? *buildTree : executable.parent_path().parent_path() / "share" / "sheetpack";
  const fs::path file = folder / PathFromUtf8(name);
  std::error_code error;
  if (!fs::is_regular_file(file, error)) throw BadInput(name, "not found in " + PathToUtf8(folder));
  return file;
}

fs::path LocateStub(const std::string& arch, const fs::path& executable) {
  try {
    return LocateShippedFile(StubFileName(arch), executable, "stub-" + arch);
  } catch (const PackError& missing) {
    throw PackError(missing.Code(), std::string(missing.what()) + "; name a stub with --stub");
  }
}

fs::path LocateRuntimeAddIn(const std::string& arch, const fs::path& executable) {
  try {
    return LocateShippedFile("addin-" + arch + ".dll", executable, "runtime");
  } catch (const PackError& missing) {
    throw PackError(missing.Code(), std::string(missing.what()) + "; name an add-in kit with \"addinKit\"");
  }
}
