// The entry point on Windows: wide arguments become UTF-8; messages to a console go out
// as UTF-16 through the console's wide output, and standard output to a file or a pipe
// is put into binary mode so that `extract` writes items unchanged.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "packer/cli.h"
#include "packer/console_win.h"
#include "packer/lenient_text.h"

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    args.push_back(LenientUtf8(reinterpret_cast<const char16_t*>(argv[i])));
  }
  wchar_t path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameW(nullptr, path, sizeof path / sizeof path[0]);
  std::filesystem::path executable(std::wstring(path, length));
  const std::unique_ptr<ConsoleBuffer> consoleOut = ConsoleBufferFor(STD_OUTPUT_HANDLE);
  const std::unique_ptr<ConsoleBuffer> consoleErr = ConsoleBufferFor(STD_ERROR_HANDLE);
  std::ostream out(consoleOut ? consoleOut.get() : std::cout.rdbuf());
  std::ostream err(consoleErr ? consoleErr.get() : std::cerr.rdbuf());
  const int code = RunSheetpack(args, executable, out, err);
  out.flush();
  err.flush();
  return code;
}
