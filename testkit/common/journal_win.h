#pragma once
// The journal the testkit programs write for the tests: one event a line, fields
// separated by one space, numbers in decimal, texts in double quotes. Several writers
// (the stand-in host and the add-in inside it) append to one file, so every line is
// appended with a single write and is on disk when Write returns.
#include <windows.h>

#include <string>
#include <string_view>

class Journal {
 public:
  Journal() = default;
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;
  ~Journal();

  // An empty path means no journal: Write then does nothing.
  void Open(const std::wstring& path);
  // Appends `line` and a line feed.
  void Write(std::string_view line);

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
};

// A text as a journal field: UTF-8 in double quotes; backslash, double quote and control
// characters are escaped (\\, \", \n, \r, \t, \xHH), an unpaired surrogate becomes U+FFFD.
std::string QuoteText(std::wstring_view text);
std::string QuoteText(std::string_view utf8);

// Bytes as lower-case hexadecimal digits, two a byte.
std::string HexBytes(std::string_view bytes);
