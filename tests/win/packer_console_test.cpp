#include "packer/console_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

// "Łódź € Grüße" as the packer's messages carry it, UTF-8.
const std::string kUtf8 = "\xC5\x81\xC3\xB3" "d\xC5\xBA \xE2\x82\xAC Gr\xC3\xBC\xC3\x9F" "e";
const std::wstring kShown = L"\u0141\u00F3d\u017A \u20AC Gr\u00FC\u00DFe";

std::wstring FirstCharacters(HANDLE screen, size_t count) {
  std::wstring text(count, L'\0');
  DWORD read = 0;
  if (!ReadConsoleOutputCharacterW(screen, text.data(), static_cast<DWORD>(count), COORD{0, 0}, &read)) return L"";
  text.resize(read);
  return text;
}

}  // namespace

TEST(PackerConsole, NonAsciiTextReachesTheConsoleAsItsCharacters) {
  // Written as bytes, UTF-8 shows in the console's code page as other characters.
  // A console of the test's own: the one it was started with may be none, or a pipe's.
  FreeConsole();
  ASSERT_TRUE(AllocConsole()) << GetLastError();
  HANDLE screen = CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
  ASSERT_NE(screen, INVALID_HANDLE_VALUE) << GetLastError();
  {
    ConsoleBuffer buffer(screen);
    std::ostream out(&buffer);
    // A write that ends inside a character: its first byte waits for the rest.
    out << kUtf8.substr(0, 1);
    out.flush();
    EXPECT_EQ(FirstCharacters(screen, 1), L" ") << "half a character was shown";
    out << kUtf8.substr(1) << std::flush;
  }
  EXPECT_EQ(FirstCharacters(screen, kShown.size()), kShown);
  CloseHandle(screen);
}

TEST(PackerConsole, OutputToAPipeStaysBytes) {
  // `extract` writes items to standard output unchanged: no console buffer may come between.
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  ASSERT_TRUE(CreatePipe(&read, &write, nullptr, 0));
  HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
  SetStdHandle(STD_OUTPUT_HANDLE, write);
  EXPECT_EQ(ConsoleBufferFor(STD_OUTPUT_HANDLE), nullptr);
  SetStdHandle(STD_OUTPUT_HANDLE, saved);
  CloseHandle(read);
  CloseHandle(write);
}
