#include "launcher/ui/notice_dialog_win.h"

#include <cstring>

#include "launcher/base/launcher_state_win.h"
#include "core/win/wide_win.h"
#include "core/text/message_texts.h"
#include "core/encoding/utf.h"
#include "launcher/ui/info_sign.h"
#include "launcher/ui/notice_layout.h"
#include "launcher/ui/shell_link_win.h"

namespace {

constexpr int kTemplateWidthPixels = 550;
constexpr DWORD kRichEditStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_READONLY | ES_AUTOHSCROLL |
                                 ES_AUTOVSCROLL | ES_MULTILINE;
constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
// The ids a button of the notice may end it with.
constexpr int kEndingIds[] = {IDOK, IDCANCEL, IDYES, IDNO, 8 /* IDCLOSE */};
// EM_GETTEXTRANGE fills a buffer of this many characters, the terminating zero included.
constexpr size_t kLinkCapacity = 260;

HFONT CreateTextFont() {
  return CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, FF_SWISS, L"Tahoma");
}

RECT ChildRect(HWND child, HWND parent) {
  RECT rect = {};
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::wstring AnsiToWide(const std::string& text) {
  if (text.empty()) return {};
  int length = static_cast<int>(text.size());
  int size = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.data(), length, nullptr, 0);
  if (size <= 0) return {};
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.data(), length, wide.data(), size);
  return wide;
}

// The sign's PNG bytes in a global block, wrapped in a stream that owns the block.
ComPtr<IStream> InfoSignStream() {
  ComPtr<IStream> stream;
  std::string_view png = InfoSignPng();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, png.size());
  if (!block) return stream;
  if (void* data = GlobalLock(block)) {
    std::memcpy(data, png.data(), png.size());
    GlobalUnlock(block);
    if (SUCCEEDED(CreateStreamOnHGlobal(block, TRUE, stream.Put()))) return stream;
  }
  GlobalFree(block);
  return stream;
}

}  // namespace

CDialogTemplate::CDialogTemplate()
    : CEmptyDialogImpl(kTemplateWidthPixels, 0), textFont_(CreateTextFont()) {}

CDialogTemplate::~CDialogTemplate() {
  if (windowIcon_) DestroyIcon(windowIcon_);
}

void CDialogTemplate::LoadNoticeText(std::string_view bytes, const MacroExpander* expander) {
  content_ = LoadNoticeContent(bytes, expander);
}

void CDialogTemplate::LoadInformationPicture() {
  ComPtr<IStream> stream = InfoSignStream();
  if (!stream) return;
  informationPicture_ = GdiplusPicture::Load(stream.Get());
}

void CDialogTemplate::SetWindowIcon(HICON icon) {
  if (windowIcon_) DestroyIcon(windowIcon_);
  windowIcon_ = icon ? DuplicateIcon(nullptr, icon) : nullptr;
}

int CDialogTemplate::SignWidth() const {
  return informationPicture_ ? static_cast<int>(informationPicture_->Width()) : 0;
}

int CDialogTemplate::SignHeight() const {
  return informationPicture_ ? static_cast<int>(informationPicture_->Height()) : 0;
}

bool CDialogTemplate::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      result = FALSE;  // no control gets the focus
      return true;
    case WM_PAINT:
      OnPaint();
      result = 0;
      return true;
    case WM_CTLCOLORSTATIC:
      result = reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
      return true;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->code != EN_LINK) return false;
      const auto* link = reinterpret_cast<const ENLINK*>(lParam);
      if (link->msg == WM_LBUTTONDOWN) OnLinkClicked(link->chrg);
      result = 0;
      return true;
    }
    case WM_COMMAND: {
      if (HIWORD(wParam) != 0) return false;
      const int id = LOWORD(wParam);
      for (int ending : kEndingIds) {
        if (id == ending && IsWindowVisible(reinterpret_cast<HWND>(lParam))) EndDialog(id);
      }
      result = id;
      return true;
    }
    default:
      return false;
  }
}

void CDialogTemplate::OnInitDialog() {
  SetWindowTextW(m_hWnd, title_.c_str());
  if (windowIcon_) SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(windowIcon_));
  SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(textFont_.get()), TRUE);
  CreateRichEdit();

  const int textBottom = ChildRect(richEdit_.m_hWnd, m_hWnd).bottom;
  RECT window = GetWindowRect();
  RECT client = GetClientRect();
  const int caption = GetSystemMetrics(SM_CYCAPTION);
  const int frame = caption + 2 * (((window.bottom - window.top) - (client.bottom - client.top) - caption) / 2);
  MoveWindow(m_hWnd, window.left, window.top, window.right - window.left, NoticeWindowHeight(textBottom, frame), TRUE);

  const int buttonsWidth = CreateButtons();
  window = GetWindowRect();
  const int width = window.right - window.left;
  const int fitted = NoticeWindowWidth(width, buttonsWidth, GetSystemMetrics(SM_CXEDGE),
                                       GetSystemMetrics(SM_CXFULLSCREEN));
  if (fitted != width) Resize(fitted);
  CenterWindow();
  if (topmost_) SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  if (foreground_) SetForegroundWindow(m_hWnd);
}

void CDialogTemplate::CreateRichEdit() {
  const RECT client = GetClientRect();
  const int left = NoticeTextLeft(SignWidth());
  const int right = client.right - kNoticeRightMargin;
  // Created at its final width, so that the text wraps as it will be shown.
  RECT initial{left, kNoticeMargin, right, kNoticeMargin + 15};
  richEdit_.Create(m_hWnd, initial, nullptr, kRichEditStyle, 0, kNoticeRichEditId);
  if (!richEdit_.m_hWnd) return;
  // No target device and line width 0: the text wraps at the window's width.
  richEdit_.SetTargetDevice(nullptr, 0);
  richEdit_.SetAutoURLDetect(true);
  richEdit_.SetEventMask(ENM_LINK);
  richEdit_.SetTextMode(TM_RICHTEXT);
  SetRichEditText();

  if (textHeight_ == 0) {
    textHeight_ = NoticeTextBottom(richEdit_.GetLineCount(), rtf_, left, right, SignHeight());
  }
  MoveWindow(richEdit_.m_hWnd, left, kNoticeMargin, right - left, textHeight_ - kNoticeMargin, TRUE);
}

void CDialogTemplate::SetRichEditText() {
  std::wstring text;
  switch (content_.format) {
    case NoticeFormat::Rtf:
      rtf_ = true;
      StreamInRtf(richEdit_, content_.narrow);
      return;
    case NoticeFormat::Utf16:
      text = ToWide(WithoutByteOrderMark(content_.wide));
      break;
    case NoticeFormat::Ansi:
      text = AnsiToWide(content_.narrow);
      break;
  }
  if (text.empty()) return;
  SendMessageW(richEdit_.m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(textFont_.get()), TRUE);
  SetWindowTextW(richEdit_.m_hWnd, text.c_str());
}

int CDialogTemplate::CreateButtons() {
  const int pad = 2 * GetSystemMetrics(SM_CXBORDER) + 10;
  std::vector<int> textWidths;
  if (HDC dc = GetDC(m_hWnd)) {
    HGDIOBJ previous = SelectObject(dc, textFont_.get());
    for (const ButtonEntry& entry : buttonList_) {
      SIZE size = {};
      GetTextExtentPoint32W(dc, entry.text.c_str(), static_cast<int>(entry.text.size()), &size);
      textWidths.push_back(size.cx);
    }
    SelectObject(dc, previous);
    ReleaseDC(m_hWnd, dc);
  }
  textWidths.resize(buttonList_.size(), 0);
  const std::vector<int> widths = NoticeButtonWidths(textWidths, pad);
  const RECT client = GetClientRect();
  const std::vector<PixelRect> rects =
      PlaceNoticeButtons(widths, client.right, client.bottom + GetSystemMetrics(SM_CYDLGFRAME));
  for (size_t i = 0; i < buttonList_.size(); ++i) {
    const PixelRect& r = rects[i];
    HWND button = CreateWindowExW(0, L"BUTTON", buttonList_[i].text.c_str(), kButtonStyle, r.left, r.top, r.Width(),
                                  r.Height(), m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(buttonList_[i].id)),
                                  GetModuleHandleW(nullptr), nullptr);
    SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(textFont_.get()), TRUE);
    buttons_.push_back(button);
  }
  return NoticeButtonsWidth(widths);
}

void CDialogTemplate::Resize(int width) {
  const RECT window = GetWindowRect();
  MoveWindow(m_hWnd, window.left, window.top, width, window.bottom - window.top, TRUE);
  const RECT client = GetClientRect();
  if (richEdit_.m_hWnd) {
    const RECT text = ChildRect(richEdit_.m_hWnd, m_hWnd);
    MoveWindow(richEdit_.m_hWnd, text.left, text.top, NoticeTextWidth(client.right - client.left, SignWidth()),
               text.bottom - text.top, TRUE);
  }
  int right = client.right - kNoticeButtonRightMargin;
  for (HWND button : buttons_) {
    const RECT rect = ChildRect(button, m_hWnd);
    const int buttonWidth = rect.right - rect.left;
    MoveWindow(button, right - buttonWidth, rect.top, buttonWidth, rect.bottom - rect.top, TRUE);
    right -= buttonWidth + kNoticeButtonGap;
  }
}

void CDialogTemplate::OnPaint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(m_hWnd, &paint);
  if (informationPicture_) informationPicture_->Draw(dc, kNoticeMargin, kNoticeMargin);
  EndPaint(m_hWnd, &paint);
}

void CDialogTemplate::OnLinkClicked(const CHARRANGE& range) {
  // A link that does not fit the buffer is not opened at all: opening a cut address
  // would lead somewhere the text does not say.
  if (range.cpMax > range.cpMin && static_cast<size_t>(range.cpMax - range.cpMin) < kLinkCapacity) {
    wchar_t link[kLinkCapacity] = {};
    richEdit_.GetTextRange(range.cpMin, range.cpMax, link, kLinkCapacity);
    // Only http:, https: and mailto: links open (a www. address as https://).
    if (link[0]) OpenLinkInShell(FromWide(link));
  }
  HideCaret(richEdit_.m_hWnd);
  if (!buttons_.empty()) SetFocus(buttons_.front());
}

bool ShowNotice(const std::string& text, HICON firstIcon, HICON secondIcon) {
  LauncherState& state = State();
  if (state.testFlag) return false;
  try {
    const std::string normalised = NormaliseNoticeBytes(text);
    if (normalised.empty()) return false;

    CDialogTemplate dialog;
    dialog.SetTitle(ToWide(state.settings.appTitle) + L" - " +
                    MessageText(OverrideKey::kNoticeTitle, TextId::kNoticeTitle));
    dialog.LoadNoticeText(normalised, state.macros.get());
    dialog.AddButton(MessageText(OverrideKey::kNoticeDecline, TextId::kNoticeDecline), IDCANCEL);
    dialog.AddButton(MessageText(OverrideKey::kNoticeAccept, TextId::kNoticeAccept), IDOK);
    dialog.LoadInformationPicture();
    dialog.SetTopmost(true);
    dialog.SetForeground(true);
    dialog.SetWindowIcon(secondIcon ? secondIcon : firstIcon);
    return dialog.DoModal(GetActiveWindow()) != IDOK;
  } catch (...) {
    return true;  // a notice that cannot be shown counts as declined
  }
}
