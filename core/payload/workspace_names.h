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

// The rules by which a launch recognises a workspace folder an earlier run left: its name
// is one MakeRandomName(8) gives, and it holds only files a workspace holds (the add-in,
// the start-up information, the loader and the workbook, whose names end in .xls, .xlsm
// or .xlsb, and what a crashed host leaves: its owner file "~$<workbook>" and the
// temporary file of an interrupted save, eight hexadecimal digits without an extension or
// with ".tmp"). Letter case is ignored in file names, as the file system does.
bool IsWorkspaceFolderName(std::u16string_view name);
bool IsWorkspaceFileName(std::u16string_view name);

// What the add-in finds in the start-up information file: the workbook file's path, the
// launcher's process id in decimal and its executable's full path, in UTF-8, one field a
// line, separated by line feeds. The launcher names itself, so that the add-in takes the
// launcher's messages from that process alone. The command line is never written: it
// may carry the workbook's password, and the file lies in the workspace while the host
// starts. A field that holds a line feed or a carriage return would shift the fields
// after it: it is refused (std::invalid_argument), as is text that is not valid UTF-16
// (std::runtime_error).
std::string StartupInfoBytes(std::u16string_view workbookPath, uint32_t launcherProcessId,
                             std::u16string_view launcherPath);

// The fields back from the start-up information bytes, each up to the next line feed.
// What a file cut short lacks stays empty, or 0; an id that is not a plain decimal number
// is 0. A file with more fields than the launcher writes, or a carriage return, was not
// written by it: std::runtime_error, as for invalid UTF-8.
struct StartupInfo {
  std::u16string workbookPath;
  uint32_t launcherProcessId = 0;
  std::u16string launcherPath;
};
StartupInfo ParseStartupInfo(std::string_view bytes);
