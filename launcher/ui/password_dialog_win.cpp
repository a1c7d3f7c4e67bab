#include "launcher/ui/password_dialog_win.h"

#include "launcher/base/launcher_state_win.h"
#include "core/win/wide_win.h"
#include "core/text/message_texts.h"
#include "core/messages/contact_link.h"
#include "launcher/ui/shell_link_win.h"

namespace {

constexpr int kDialogWidth = 290;
constexpr int kButtonHeight = 23;
constexpr int kPasswordCapacity = 512;  // characters, the terminating zero included
constexpr DWORD kStaticStyle = WS_CHILD | WS_VISIBLE | SS_CENTER;
constexpr DWORD kEditStyle = WS_CHILD | WS_VISIBLE | ES_PASSWORD | ES_AUTOHSCROLL;
constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON;
constexpr DWORD kWrongPasswordPauseMs = 300;

struct ButtonSpec {
  int left;
  int right;
  int id;
  int textKey;
  int textId;
};

// Contact, accept, cancel, left to right.
constexpr ButtonSpec kButtons[] = {
    {3, 126, PasswordDialogId::kContact, OverrideKey::kContactButton, TextId::kContactButton},
    {130, 204, PasswordDialogId::kAccept, OverrideKey::kPasswordAccept, TextId::kPasswordAccept},
    {208, 282, PasswordDialogId::kCancel, OverrideKey::kPasswordCancel, TextId::kPasswordCancel},
};

HWND CreateChild(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, DWORD exStyle,
                 const RECT& rect, HFONT font) {
  HWND child = CreateWindowExW(exStyle, className, text.c_str(), style, rect.left, rect.top, rect.right - rect.left,
                               rect.bottom - rect.top, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  return child;
}

}  // namespace

bool CPasswordDialog::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      result = FALSE;  // the focus is already on the password field
      return true;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam));
      return true;
    case WM_CLOSE:
      EndDialog(PasswordDialogId::kCancel);
      return true;
    default:
      return false;
  }
}

void CPasswordDialog::OnInitDialog() {
  CreateFonts(m_hWnd);
  RECT window = GetWindowRect();
  window.right = window.left + kDialogWidth;
  MoveWindow(m_hWnd, window.left, window.top, kDialogWidth, window.bottom - window.top, TRUE);
  RECT client = GetClientRect();
  const int frameHeight = (window.bottom - window.top) - (client.bottom - client.top);

  nextY_ += 5;
  contentWidth_ = kDialogWidth;
  AddLabel(m_hWnd, MessageText(OverrideKey::kPasswordHeading, TextId::kPasswordHeading), MediumFont());
  nextY_ += 5;
  CreatePasswordRow();
  CreateButtons();
  nextY_ += 28;

  window = GetWindowRect();
  MoveWindow(m_hWnd, window.left, window.top, window.right - window.left, nextY_ + frameHeight, TRUE);
  CenterWindow();

  // The application title is shown as the settings give it: not macro-expanded.
  std::wstring title =
      MessageText(OverrideKey::kPasswordTitlePrefix, TextId::kPasswordTitlePrefix) + L" " + ToWide(appTitle_);
  SetWindowTextW(m_hWnd, title.c_str());
  SetFocus(edit_);
}

void CPasswordDialog::CreatePasswordRow() {
  std::wstring prompt = MessageText(OverrideKey::kPasswordPrompt, TextId::kPasswordPrompt);
  SIZE size = {};
  if (HDC dc = GetDC(m_hWnd)) {
    GetTextExtentPoint32W(dc, prompt.c_str(), static_cast<int>(prompt.size()), &size);
    ReleaseDC(m_hWnd, dc);
  }
  const RECT client = GetClientRect();
  CreateChild(m_hWnd, L"STATIC", prompt, kStaticStyle, 0, RECT{4, nextY_, size.cx, nextY_ + size.cy + 2},
              MediumFont());
  edit_ = CreateChild(m_hWnd, L"EDIT", L"", kEditStyle, WS_EX_CLIENTEDGE,
                      RECT{size.cx + 4, nextY_ - 2, client.right - 4, nextY_ + 16}, DefaultFont());
  nextY_ += size.cy + 11;
}

void CPasswordDialog::CreateButtons() {
  for (const ButtonSpec& layout : kButtons) {
    // Without a contact the button would have no one to ask.
    if (layout.id == PasswordDialogId::kContact && authorContact_.empty()) continue;
    RECT rect{layout.left, nextY_, layout.right, nextY_ + kButtonHeight};
    HWND button = CreateChild(m_hWnd, L"BUTTON", MessageText(layout.textKey, layout.textId), kButtonStyle, 0, rect,
                              MediumFont());
    SetWindowLongW(button, GWL_ID, layout.id);
  }
}

void CPasswordDialog::OnCommand(int id) {
  switch (id) {
    case PasswordDialogId::kAccept: {
      wchar_t typed[kPasswordCapacity] = {};
      GetWindowTextW(edit_, typed, kPasswordCapacity);
      password_ = typed;
      EndDialog(PasswordDialogId::kAccept);
      break;
    }
    case PasswordDialogId::kCancel:
      EndDialog(PasswordDialogId::kCancel);
      break;
    case PasswordDialogId::kContact:
      // A contact that does not open leaves the prompt up: the start never ends unexplained.
      if (OpenAuthorContact(authorContact_)) EndDialog(PasswordDialogId::kCancel);
      break;
    default:
      break;
  }
}

bool OpenAuthorContact(const std::u16string& authorContact) {
  const MessageTextSources sources = State().TextSources();
  std::u16string subject = GetMessageText(sources, OverrideKey::kContactSubject, TextId::kContactSubject);
  std::u16string body = GetExpandedOverrideText(sources, OverrideKey::kContactBody);
  return OpenLinkInShell(ComposeContactTarget(authorContact, subject, body, BuiltInContactLinkTexts()));
}

bool AskStartupPassword() {
  LauncherState& state = State();
  std::wstring candidate = state.commandLinePassword;
  if (candidate.empty()) {
    CPasswordDialog dialog(state.settings.appTitle, state.settings.authorContact);
    if (dialog.DoModal(GetActiveWindow()) != PasswordDialogId::kAccept) return true;
    candidate = dialog.Password();
  }
  if (candidate != ToWide(state.settings.startPassword)) {
    // The pause makes guessing by trying many passwords slow.
    Sleep(kWrongPasswordPauseMs);
    throw notice4user(MessageTextUtf8(OverrideKey::kWrongPassword, TextId::kWrongPassword));
  }
  return false;
}
