#pragma once
// Where the running sheetpack is installed, on a POSIX system. It finds the stubs and
// add-ins it ships beside itself, so a wrong answer would pack files from elsewhere.
#include <filesystem>
#include <optional>
#include <string>

// `selfLink` is what /proc/self/exe names (empty when there is no /proc or it cannot be
// read); `argv0` the program name as started; `pathVariable` PATH (nullopt when unset);
// `currentFolder` the folder sheetpack was started in. Without /proc, a name with a slash
// counts from the current folder and a bare name is looked up in PATH as the shell did.
// Symbolic links are followed, as /proc does. Empty when sheetpack cannot tell.
std::filesystem::path FindOwnProgram(const std::string& selfLink, const std::string& argv0,
                                     const std::optional<std::string>& pathVariable,
                                     const std::filesystem::path& currentFolder);
