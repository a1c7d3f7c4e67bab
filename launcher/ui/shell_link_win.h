#pragma once
// The one way a link leaves the launcher: to the shell, and only when ShellLinkTarget
// (contact_link.h) allows it.
#include <string>

// Opens the link's target in the browser or the mail program; false, and nothing
// opened, when the link is not one the launcher opens (or the shell fails).
bool OpenLinkInShell(const std::u16string& link);
