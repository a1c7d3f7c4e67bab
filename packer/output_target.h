#pragma once
// Where sheetpack may write what a command makes. Output replaces a regular file through a
// rename, so whatever else stands at the path (a symbolic link, a FIFO, a device, a
// folder) would be replaced or written through: it is refused, and so are the files whose
// loss would break the author's work: a key file (the application's identity) and the
// files of sheetpack itself.
#include <filesystem>
#include <string>

// Throws PackError (bad input) naming `target` when it exists and is no regular file, or
// its folder does not exist.
void RefuseUnsafeTarget(const std::filesystem::path& target);

// Throws PackError (bad input) naming `target` when it is a key file, or sheetpack (at
// `executable`) or one of the files shipped with it.
void RefuseOwnFileTarget(const std::filesystem::path& target, const std::filesystem::path& executable);
