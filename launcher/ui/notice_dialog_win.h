#pragma once
// The start notice: a text packaged with the application (item 1105) that the user
// accepts or declines before the workbook is opened. The dialog is built on an empty
// template in memory; the text goes into a read-only rich edit beside an information
// sign, the buttons sit in a row at the bottom right.
#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/win/scoped_win.h"
#include "launcher/ui/dialog_impl_win.h"
#include "launcher/ui/gdiplus_win.h"
#include "core/messages/notice_text.h"
#include "launcher/ui/rich_edit_win.h"

class MacroExpander;

constexpr DWORD kNoticeStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_CENTER;
constexpr DWORD kNoticeExStyle = WS_EX_DLGMODALFRAME;
constexpr int kNoticeRichEditId = 0x4FA;

class CDialogTemplate : public CEmptyDialogImpl<CDialogTemplate, kNoticeStyle, kNoticeExStyle> {
 public:
  CDialogTemplate();
  ~CDialogTemplate();

  void SetTitle(const std::wstring& title) { title_ = title; }
  // Classifies and converts the notice bytes; `expander` may be null.
  void LoadNoticeText(std::string_view bytes, const MacroExpander* expander);
  // Buttons in list order from the right edge: the first added stands rightmost.
  void AddButton(const std::wstring& text, int id) { buttonList_.push_back({text, id}); }
  // Decodes the information sign (needs GDI+ started); without it there is no sign.
  void LoadInformationPicture();
  void SetTopmost(bool topmost) { topmost_ = topmost; }
  void SetForeground(bool foreground) { foreground_ = foreground; }
  // The dialog keeps its own copy of the icon.
  void SetWindowIcon(HICON icon);

  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

 private:
  struct ButtonEntry {
    std::wstring text;
    int id;
  };

  void OnInitDialog();
  void CreateRichEdit();
  void SetRichEditText();
  int CreateButtons();
  void Resize(int width);
  void OnPaint();
  void OnLinkClicked(const CHARRANGE& range);
  int SignWidth() const;
  int SignHeight() const;

  MyRichEditCtrl richEdit_;
  ScopedGdiObject<HFONT> textFont_;
  HICON windowIcon_ = nullptr;
  std::wstring title_;
  NoticeContent content_;
  bool rtf_ = false;
  bool topmost_ = false;
  bool foreground_ = false;
  std::vector<ButtonEntry> buttonList_;
  std::vector<HWND> buttons_;
  int textHeight_ = 0;
  std::unique_ptr<GdiplusPicture> informationPicture_;
};

// Shows the notice `text` with the first icon or, when given, the second as the
// window icon (the icons stay the caller's). True when the user declined or the
// notice could not be shown; false when it was accepted or there is nothing to show.
bool ShowNotice(const std::string& text, HICON firstIcon, HICON secondIcon);
