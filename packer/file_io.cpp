#include "packer/file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <system_error>

#include "packer/pack_error.h"

namespace fs = std::filesystem;

namespace {

std::string Reason(const std::error_code& error) { return error.message(); }

std::string TemporaryName(const fs::path& target) {
  std::random_device random;
  const unsigned long long tag = (static_cast<unsigned long long>(random()) << 32) ^ random();
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", tag);
  return "." + PathToUtf8(target.filename()) + suffix;
}

}  // namespace

fs::path PathFromUtf8(std::string_view utf8) {
  return fs::u8path(utf8.begin(), utf8.end());
}

std::string PathToUtf8(const fs::path& path) { return path.u8string(); }

std::string LowerExtension(const fs::path& path) {
  std::string extension = PathToUtf8(path.extension());
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return extension;
}

namespace {

std::ifstream OpenForReading(const fs::path& path) {
  const std::string name = PathToUtf8(path);
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (!fs::exists(status)) throw BadInput(name, "no such file");
  if (fs::is_directory(status)) throw BadInput(name, "is a folder, not a file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw BadInput(name, std::string("cannot open: ") + std::strerror(errno));
  return in;
}

}  // namespace

FileSource::FileSource(const fs::path& path) : name_(PathToUtf8(path)), in_(OpenForReading(path)) {
  in_.seekg(0, std::ios::end);
  const std::streamoff end = in_.tellg();
  if (!in_ || end < 0) throw BadInput(name_, "cannot tell its size");
  size_ = static_cast<uint64_t>(end);
}

std::string FileSource::Read(uint64_t offset, size_t length) const {
  if (offset >= size_) return {};
  std::string bytes(static_cast<size_t>(std::min<uint64_t>(length, size_ - offset)), '\0');
  in_.clear();
  in_.seekg(static_cast<std::streamoff>(offset));
  in_.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (in_.gcount() != static_cast<std::streamsize>(bytes.size())) throw BadInput(name_, "read failed");
  return bytes;
}

std::string ReadFileBytes(const fs::path& path) {
  std::ifstream in = OpenForReading(path);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw BadInput(PathToUtf8(path), "read failed");
  return bytes;
}

namespace {

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

void WriteFileAtomically(const fs::path& target, std::string_view bytes) {
  ByteRuns runs;
  runs.AppendView(bytes);
  WriteFileAtomically(target, runs);
}

void WriteFileAtomically(const fs::path& target, const ByteRuns& bytes) {
  const std::string name = PathToUtf8(target);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  RefuseUnsafeTarget(target);
  std::error_code error;

  fs::path temporary;
  do {
    temporary = folder / PathFromUtf8(TemporaryName(target));
  } while (fs::exists(temporary, error));
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) throw PackingFailed(name, std::string("cannot create a file in its folder: ") + std::strerror(errno));
    for (const std::string_view run : bytes.Runs()) out.write(run.data(), static_cast<std::streamsize>(run.size()));
    out.close();
    if (!out) {
      fs::remove(temporary, error);
      throw PackingFailed(name, "write failed (disk full?)");
    }
  }
  // A replaced file keeps its permissions, e.g. the executable bit.
  const fs::file_status old = fs::status(target, error);
  if (!error && fs::exists(old)) fs::permissions(temporary, old.permissions(), error);
  fs::rename(temporary, target, error);
  if (error) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    throw PackingFailed(name, "cannot replace it: " + Reason(error));
  }
}
