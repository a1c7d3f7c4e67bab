#pragma once
// Files that hold a secret: created so that only their owner may read them from the
// first byte on (never created open to all and narrowed afterwards, which leaves a
// moment, or a failed narrowing, in which anyone may read them). POSIX:
// owner_only_file_posix.cpp; Windows: owner_only_file_win.cpp.
#include <filesystem>
#include <string_view>

// Writes a new file at `path`; an existing file or link there is never opened. Throws
// PackError (packing failed), removing what it created.
void WriteNewOwnerOnlyFile(const std::filesystem::path& path, std::string_view bytes);

// True when users other than the owner (and the system's administrators) may read it.
bool OthersMayRead(const std::filesystem::path& path);
