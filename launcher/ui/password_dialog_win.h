#pragma once
// The start-up password prompt: dialog 113 of the launcher's resources, an empty
// frame filled in code with a heading, the password field and three buttons (two when
// the application names no contact).
#include <windows.h>

#include <string>

#include "launcher/ui/dialog_impl_win.h"
#include "launcher/ui/label_dialog_win.h"

namespace PasswordDialogId {
constexpr int kContact = 77;
constexpr int kAccept = IDOK;
constexpr int kCancel = IDCANCEL;
}  // namespace PasswordDialogId

class CPasswordDialog : public CDialogImpl<CPasswordDialog>, public CLabelDialog {
 public:
  enum { IDD = 113 };

  CPasswordDialog(const std::u16string& appTitle, const std::u16string& authorContact)
      : appTitle_(appTitle), authorContact_(authorContact) {}

  // What was typed when the dialog ended with IDOK: at most 511 characters.
  const std::wstring& Password() const { return password_; }

  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

 private:
  void OnInitDialog();
  void CreatePasswordRow();
  void CreateButtons();
  void OnCommand(int id);

  const std::u16string& appTitle_;
  const std::u16string& authorContact_;
  std::wstring password_;
  HWND edit_ = nullptr;
};

// Opens the author's web address or a mail to the author; false when nothing opened.
bool OpenAuthorContact(const std::u16string& authorContact);

// Asks for the start-up password unless the command line gave one. True: the user
// cancelled and the start must stop quietly. False: the password is right. A wrong
// password throws notice4user after a pause of 300 ms.
bool AskStartupPassword();
