#include "packer/output_target.h"

#include <system_error>
#include <vector>

#include "packer/file_io.h"
#include "packer/key_file.h"
#include "packer/pack_error.h"
#include "packer/shipped_files.h"

namespace fs = std::filesystem;

namespace {

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code error;
  return fs::equivalent(a, b, error) && !error;
}

// sheetpack and what it ships, wherever they are found; a file it cannot find is no target.
std::vector<fs::path> OwnFiles(const fs::path& executable) {
  std::vector<fs::path> files;
  if (executable.empty()) return files;
  files = {executable, executable.parent_path() / kBuildTreeFile};
  for (const char* arch : {"x64", "x86"}) {
    for (auto locate : {LocateStub, LocateRuntimeAddIn}) {
      try {
        files.push_back(locate(arch, executable));
      } catch (const PackError&) {
      }
    }
  }
  return files;
}

}  // namespace

void RefuseOwnFileTarget(const fs::path& target, const fs::path& executable) {
  const std::string name = PathToUtf8(target);
  std::error_code error;
  // Only a regular file is opened: reading a FIFO would wait for a writer.
  if (!fs::is_regular_file(fs::symlink_status(target, error))) return;
  if (IsKeyFile(target)) {
    throw BadInput(name, "is a key file, which every later version of its application needs; write to another file");
  }
  for (const fs::path& own : OwnFiles(executable)) {
    if (SameFile(target, own)) throw BadInput(name, "is a file of sheetpack itself; write to another file");
  }
}
