// The entry point on Linux and other POSIX systems; arguments are UTF-8 already.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "packer/cli.h"
#include "packer/own_path.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::error_code error;
  const std::filesystem::path link = std::filesystem::read_symlink("/proc/self/exe", error);
  const std::string selfLink = error ? std::string() : link.string();
  const char* path = std::getenv("PATH");
  const std::filesystem::path folder = std::filesystem::current_path(error);
  const std::filesystem::path executable =
      FindOwnProgram(selfLink, argc > 0 ? argv[0] : "", path ? std::optional<std::string>(path) : std::nullopt,
                     error ? std::filesystem::path() : folder);
  return RunSheetpack(args, executable, std::cout, std::cerr);
}
