#pragma once
// Files in and out. Paths arrive as UTF-8 on every platform. Output is written to a
// temporary file in the target's folder and renamed over the target, so a failure
// never leaves a half-written file behind.
#include <filesystem>
#include <string>
#include <string_view>

#include "packer/byte_runs.h"

std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);
// The file name's extension with its dot, ASCII letters in lower case: ".xlsm".
std::string LowerExtension(const std::filesystem::path& path);

// The whole file. Throws PackError (bad input) when it is missing or unreadable.
std::string ReadFileBytes(const std::filesystem::path& path);

// Replaces `target` with `bytes` in one rename. Throws PackError (packing failed).
void WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes);
void WriteFileAtomically(const std::filesystem::path& target, const ByteRuns& bytes);
