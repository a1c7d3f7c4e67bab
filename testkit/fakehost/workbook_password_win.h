#pragma once
// What the host does with the Password argument of Workbooks.Open: a workbook encrypted
// with a password opens only when the argument's password passes the file's verifier.
#include <windows.h>
#include <oleauto.h>

#include <string>

enum class PasswordCheck { kNotEncrypted, kRight, kWrong, kMissing, kUnreadable };

// `password` is the Password argument, or null when it was left out.
PasswordCheck CheckWorkbookPassword(const std::wstring& path, const VARIANT* password);

// The host saves a workbook encrypted with its password, or in the clear when it has none:
// here the user's edit is the text appended to the workbook, which is decrypted first with
// the password the file was last saved with (empty: it is in the clear) and encrypted again,
// with fresh random salts and key, when `password` is not empty. The new file's size, or
// -1 when it could not be read or written.
long long SaveWithPassword(const std::wstring& path, const std::u16string& savedWith, const std::u16string& password,
                           const std::string& text);

// "none", "right", "wrong", "missing", "unreadable": the journal's word for an encrypted
// workbook's open (never the password).
const char* PasswordCheckName(PasswordCheck check);
