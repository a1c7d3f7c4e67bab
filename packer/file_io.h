#pragma once
// Files in and out. Paths arrive as UTF-8 on every platform. Output is written to a
// temporary file in the target's folder and renamed over the target, so a failure
// never leaves a half-written file behind.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "office/byte_source.h"
#include "packer/byte_runs.h"

std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);
// The file name's extension with its dot, ASCII letters in lower case: ".xlsm".
std::string LowerExtension(const std::filesystem::path& path);

// The whole file. Throws PackError (bad input) when it is missing or unreadable.
std::string ReadFileBytes(const std::filesystem::path& path);

// A file read where needed, without reading it whole. Throws PackError (bad input) when
// it is missing or unreadable, or a read fails.
class FileSource : public ByteSource {
 public:
  explicit FileSource(const std::filesystem::path& path);
  uint64_t Size() const override { return size_; }
  std::string Read(uint64_t offset, size_t length) const override;

 private:
  std::string name_;
  mutable std::ifstream in_;
  uint64_t size_ = 0;
};

// Output replaces a regular file through a rename, so whatever else stands at the path (a
// symbolic link, a FIFO, a device, a folder) would be replaced or written through. Throws
// PackError (bad input) naming `target` when it exists and is no regular file, or its
// folder does not exist.
void RefuseUnsafeTarget(const std::filesystem::path& target);

// Replaces `target` with `bytes` in one rename. Throws PackError (packing failed).
void WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes);
void WriteFileAtomically(const std::filesystem::path& target, const ByteRuns& bytes);
