#pragma once
// Where sheetpack may write what a command makes: never over the files whose loss would
// break the author's work, a key file (the application's identity) and the files of
// sheetpack itself.
#include <filesystem>
#include <string>

// Throws PackError (bad input) naming `target` when it is a key file, or sheetpack (at
// `executable`) or one of the files shipped with it.
void RefuseOwnFileTarget(const std::filesystem::path& target, const std::filesystem::path& executable);
