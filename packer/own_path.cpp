#include "packer/own_path.h"

#include "packer/file_io.h"

namespace fs = std::filesystem;

namespace {

bool IsProgram(const fs::path& file) {
  std::error_code error;
  const fs::file_status status = fs::status(file, error);
  constexpr fs::perms kExecutable = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
  return !error && fs::is_regular_file(status) && (status.permissions() & kExecutable) != fs::perms::none;
}

fs::path Resolved(const fs::path& file) {
  std::error_code error;
  fs::path real = fs::canonical(file, error);
  return error ? fs::path() : real;
}

}  // namespace

fs::path FindOwnProgram(const std::string& selfLink, const std::string& argv0,
                        const std::optional<std::string>& pathVariable, const fs::path& currentFolder) {
  if (!selfLink.empty()) return PathFromUtf8(selfLink);
  if (argv0.empty()) return {};
  const fs::path name = PathFromUtf8(argv0);
  // A name with a slash was started as it stands, from the current folder.
  if (argv0.find('/') != std::string::npos) return Resolved(currentFolder / name);
  // A bare name: the shell took the first program of that name along PATH (an empty
  // entry standing for the current folder). Without PATH there is nothing to go by.
  if (!pathVariable) return {};
  size_t start = 0;
  while (true) {
    const size_t colon = pathVariable->find(':', start);
    const std::string entry = pathVariable->substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    const fs::path candidate = currentFolder / PathFromUtf8(entry) / name;
    if (IsProgram(candidate)) return Resolved(candidate);
    if (colon == std::string::npos) return {};
    start = colon + 1;
  }
}
