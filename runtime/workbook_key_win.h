#pragma once
// The password of an encrypted workbook, read from the launcher's executable each time the
// workbook is opened and kept nowhere else: not in the runtime's state, not in the workspace.
#include <string>

// Empty when the launcher carries no key item (a workbook packed unencrypted) or its file
// cannot be read.
std::wstring ReadWorkbookPassword(const std::wstring& launcherPath);
