#pragma once
// The rules a file must meet to become an item, shared by `build`, which makes the
// items from the configuration's files, and `put`, which stores one file as an item:
// what one refuses, the other refuses too. Each throws PackError (bad input) naming
// the file, and appends warnings for what is packed all the same.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The one-byte items that stand for "none" (no splash, no notice, no texts).
extern const std::string kPlaceholder;

void CheckSplashPicture(const std::string& name, std::string_view bytes);

// `rtf`: the file is named .rtf, so it must be RTF.
void CheckNotice(const std::string& name, std::string_view bytes, bool rtf, std::vector<std::string>& warnings);

// An add-in of the wrong machine is refused; one that is no PE file gets a warning.
void CheckAddInDll(const std::string& name, std::string_view bytes, uint16_t machine, std::vector<std::string>& warnings);

// A settings record (packed or plain) whose settings magic lets the launcher start.
void CheckSettingsRecord(const std::string& name, std::string_view bytes);

// A text override table as build writes it: every key one the launcher reads, every
// text UTF-8 without U+0000.
void CheckTextOverrideTable(const std::string& name, std::string_view bytes);

void CheckUpdatePolicy(const std::string& name, std::string_view bytes);
