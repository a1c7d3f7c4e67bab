#pragma once
// What the host does with the Password argument of Workbooks.Open: a workbook encrypted
// with a password opens only when the argument's password passes the file's verifier.
#include <windows.h>
#include <oleauto.h>

#include <string>

enum class PasswordCheck { kNotEncrypted, kRight, kWrong, kMissing, kUnreadable };

// `password` is the Password argument, or null when it was left out.
PasswordCheck CheckWorkbookPassword(const std::wstring& path, const VARIANT* password);

// "none", "right", "wrong", "missing", "unreadable": the journal's word (never the password).
const char* PasswordCheckName(PasswordCheck check);
