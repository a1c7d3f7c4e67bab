#include "packer/output_target.h"

#include <fstream>
#include <system_error>
#include <vector>

#include "packer/file_io.h"
#include "packer/pack_error.h"
#include "packer/shipped_files.h"

namespace fs = std::filesystem;

namespace {

// Every version of the key file begins so.
constexpr char kKeyFileStart[] = "sheetpack workbook key ";

std::string WhatStandsThere(const fs::file_status& status) {
  switch (status.type()) {
    case fs::file_type::symlink: return "a symbolic link";
    case fs::file_type::directory: return "a folder";
    case fs::file_type::fifo: return "a FIFO";
    case fs::file_type::block:
    case fs::file_type::character: return "a device";
    case fs::file_type::socket: return "a socket";
    default: return "no regular file";
  }
}

bool IsKeyFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string start(sizeof kKeyFileStart - 1, '\0');
  in.read(start.data(), static_cast<std::streamsize>(start.size()));
  return in && start == kKeyFileStart;
}

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

void RefuseUnsafeTarget(const fs::path& target) {
  const std::string name = PathToUtf8(target);
  std::error_code error;
  const fs::file_status status = fs::symlink_status(target, error);
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    throw BadInput(name, "is " + WhatStandsThere(status) + "; sheetpack writes only regular files");
  }
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  if (!fs::is_directory(folder, error)) throw BadInput(name, "its folder does not exist");
}

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
