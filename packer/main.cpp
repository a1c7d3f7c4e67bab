// The entry point on Linux and other POSIX systems; arguments are UTF-8 already.
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "packer/cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::error_code error;
  std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) executable = std::filesystem::absolute(argv[0], error);
  return RunSheetpack(args, executable, std::cout, std::cerr);
}
