#pragma once
// File helpers shared by the steps that write, read and remove the launcher's files.
#include <windows.h>

#include <string>

// True when the path names a file, not a folder.
bool IsExistingFile(const std::wstring& path);

// Creates or truncates the file and writes all bytes in one write; an empty content
// counts as a failed write, as the C runtime reports it.
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);

// The whole content of the file; false when it cannot be opened or read to its end.
bool ReadWholeFile(const std::wstring& path, std::string& bytes);

// The last part of a path: what follows its last backslash or slash.
std::wstring FileNameOf(const std::wstring& path);

// The long form of a path (every 8.3 short name expanded), in a buffer grown to fit;
// the path itself when it cannot be had (a file that does not exist).
std::wstring LongPathForm(const std::wstring& path);

// GetTempPathW, in a buffer grown to fit: the temporary folder with a final backslash;
// empty when Windows does not give it.
std::wstring TemporaryFolder();

// Calls `get(buffer, size)`, which returns the length written or, when the buffer is too
// small, the size needed (the terminating zero included), until the text fits.
template <typename Get>
std::wstring GrownText(Get get, size_t initial) {
  std::wstring text(initial, L'\0');
  for (;;) {
    const DWORD length = get(text.data(), static_cast<DWORD>(text.size()));
    if (length == 0) return std::wstring();
    if (length < text.size()) {
      text.resize(length);
      return text;
    }
    text.resize(length);
  }
}
