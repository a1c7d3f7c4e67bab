#pragma once
// Names of the files the launcher writes into its workspace folder: random names,
// the workbook file named after the launcher, and the start-up information bytes.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Appends characters from 0-9 and a-z until `name` has `length` characters. The
// first character is a letter; no character repeats the one two places back.
// `nextRandom` is the C library's rand in the launcher.
void MakeRandomName(size_t length, std::u16string& name, const std::function<int()>& nextRandom);

// The workbook file's path: the launcher's file name inside `folder`, with the
// launcher's extension (its last occurrence in the file name, never in a folder's name)
// replaced by the workbook format's, numbered "Name(1).xlsm",
// "Name(2).xlsm", ... while `exists` reports the name (or the name plus ".xls") taken.
std::u16string ChooseWorkbookFilePath(std::u16string_view folder, std::u16string_view launcherPath,
                                      int32_t workbookFormat,
                                      const std::function<bool(const std::u16string&)>& exists);

// What the add-in finds in the start-up information file: the launcher's command line
// in UTF-8, a line feed, and the workbook file's path in UTF-8 when there is one.
// Throws std::runtime_error when either text is not valid UTF-16.
std::string StartupInfoBytes(std::u16string_view commandLine, std::u16string_view workbookPath);

// The two texts back from the start-up information bytes: everything before the first
// line feed is the command line, everything after it the workbook path (empty when the
// file ends at the line feed or has none). Throws std::runtime_error on invalid UTF-8.
struct StartupInfo {
  std::u16string commandLine;
  std::u16string workbookPath;
};
StartupInfo ParseStartupInfo(std::string_view bytes);
