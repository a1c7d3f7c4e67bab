// The entry point on Windows: wide arguments become UTF-8, and standard output is put
// into binary mode so that `extract` writes items unchanged.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "packer/lenient_text.h"
#include "packer/cli.h"

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    args.push_back(LenientUtf8(reinterpret_cast<const char16_t*>(argv[i])));
  }
  wchar_t path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameW(nullptr, path, sizeof path / sizeof path[0]);
  std::filesystem::path executable(std::wstring(path, length));
  return RunSheetpack(args, executable, std::cout, std::cerr);
}
