#pragma once
// The workbook's file read in pieces, with progress: compressed into its item as it is
// read, so that a large workbook is held only once (as its container), or read whole
// when it must be encrypted or looked into first.
#include <cstdint>
#include <filesystem>
#include <string>

class Progress;

// The workbook's size. Throws PackError (bad input) for a missing, unreadable or empty file.
uint64_t WorkbookSize(const std::filesystem::path& workbook);

// True when the file starts with a compound file's signature (an .xls, or an encrypted
// package), which is read whole to look into it.
bool StartsAsCompoundFile(const std::filesystem::path& file);

// The workbook item: the marker and the workbook, in a container. Throws PackError (bad
// input) naming the file as soon as the container passes `budget` bytes.
std::string PackWorkbookFile(const std::filesystem::path& workbook, uint64_t size, uint64_t budget,
                             Progress& progress);

// The whole file, read in pieces of known size into one buffer with room for encryption.
std::string ReadWorkbookFile(const std::filesystem::path& workbook, uint64_t size, Progress& progress);
