#pragma once
// What the macro expander needs from Windows: the user's shell folders and the
// conversion of values to the ANSI code page for narrow texts.
#include <optional>
#include <string>

std::optional<std::u16string> LookUpShellFolder(int csidl);
std::string ToAnsiCodePage(const std::u16string& text);
