#pragma once
// The scenario a test gives the stand-in host and add-in: fakehost.ini beside the host's
// executable, plain key=value lines (UTF-8, no sections; blank lines and lines starting
// with '#' are skipped). A missing file is the default scenario.
#include <windows.h>

#include <map>
#include <optional>
#include <string>

class Scenario {
 public:
  // Reads fakehost.ini from the folder of the process's executable.
  static Scenario LoadBesideExecutable();

  std::optional<std::wstring> Find(const std::string& key) const;
  std::wstring Text(const std::string& key, const std::wstring& fallback) const;
  // A decimal number, or a hexadecimal one with 0x; `fallback` when missing or malformed.
  long long Number(const std::string& key, long long fallback) const;

 private:
  std::map<std::string, std::wstring> values_;
};

// The folder of a module's file (null: the executable), with a final backslash.
std::wstring ModuleFolder(HMODULE module);
std::wstring ModulePath(HMODULE module);

// Splits `text` at each occurrence of `separator`; an empty text gives no parts.
std::wstring_view NextPart(std::wstring_view& rest, wchar_t separator);
