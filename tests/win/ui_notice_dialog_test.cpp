// The start notice run in-process: its layout numbers (text box, sign, buttons, width
// limit), what each kind of text shows, and how it ends.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>

#include "launcher/base/system_library_win.h"
#include "core/win/wide_win.h"
#include "core/text/message_texts.h"
#include "core/encoding/utf.h"
#include "launcher/ui/gdiplus_win.h"
#include "launcher/base/macro_sources_win.h"
#include "launcher/ui/notice_dialog_win.h"
#include "launcher_state_fixture_win.h"
#include "ui_test_support_win.h"

namespace {

constexpr int kSignSize = 32;

class NoticeEnvironment : public ::testing::Environment {
 public:
  // As the launcher does: both libraries from the system folder, GDI+ at run time.
  void SetUp() override {
    LoadSystemLibrary(L"MSFTEDIT.DLL");
    token_ = StartGdiplus();
  }
  void TearDown() override { ShutdownGdiplus(token_); }

 private:
  ULONG_PTR token_ = 0;
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new NoticeEnvironment);

std::string Utf16Le(const std::u16string& text) { return StringToUtf16LeBytes(text); }

// Line breaks as the rich edit hands them back, made comparable.
std::wstring Lines(std::wstring text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\r') {
      out += L'\n';
      if (i + 1 < text.size() && text[i + 1] == L'\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

struct NoticeRun {
  explicit NoticeRun(std::function<void(CDialogTemplate&)> build)
      : thread([this, build] {
          CDialogTemplate dialog;
          build(dialog);
          result = dialog.DoModal(nullptr);
        }) {}
  INT_PTR result = 0;
  UiThread thread;
  HWND Dialog() { return WaitForThreadWindow(thread.Id(), L"#32770"); }
  INT_PTR Finish(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    PostMessageW(dialog, message, wParam, lParam);
    EXPECT_TRUE(thread.WaitForEnd(5000));
    return result;
  }
};

// The notice as ShowNotice builds it, for a text of `lines` lines and these captions.
std::function<void(CDialogTemplate&)> Notice(const std::string& bytes, const std::wstring& decline = L"Decline",
                                             const std::wstring& accept = L"Accept") {
  return [=](CDialogTemplate& dialog) {
    dialog.SetTitle(L"Ledger Pro - Notice");
    dialog.LoadNoticeText(bytes, nullptr);
    dialog.AddButton(decline, IDCANCEL);
    dialog.AddButton(accept, IDOK);
    dialog.LoadInformationPicture();
  };
}

std::string NumberedLines(int count) {
  std::u16string text;
  for (int i = 1; i <= count; ++i) text += u"Line " + Utf8ToUtf16(std::to_string(i)) + u"\r\n";
  text.resize(text.size() - 2);
  return Utf16Le(text);
}

struct Layout {
  RECT window = {};
  RECT client = {};
  ChildWindow text;
  ChildWindow decline;
  ChildWindow accept;
};

Layout ReadLayout(HWND dialog) {
  Layout layout;
  GetWindowRect(dialog, &layout.window);
  GetClientRect(dialog, &layout.client);
  const std::vector<ChildWindow> children = ChildrenOf(dialog);
  if (const ChildWindow* text = FindChild(children, L"SheetpackRichEdit", kNoticeRichEditId)) layout.text = *text;
  if (const ChildWindow* decline = FindChild(children, L"Button", IDCANCEL)) layout.decline = *decline;
  if (const ChildWindow* accept = FindChild(children, L"Button", IDOK)) layout.accept = *accept;
  return layout;
}

TEST(NoticeDialog, ShortTextBesideTheSignWithTheButtonsBottomRight) {
  NoticeRun run(Notice(Utf16Le(u"Welcome.\r\nPlease read this first.")));
  HWND dialog = run.Dialog();
  ASSERT_NE(dialog, nullptr);
  Layout layout = ReadLayout(dialog);

  EXPECT_EQ(TextOf(dialog), L"Ledger Pro - Notice");
  const DWORD style = static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE));
  EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU), static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU));
  EXPECT_TRUE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
  EXPECT_NEAR(WidthOf(layout.window), 550, 8) << "550 pixels, through dialog units of the system font";

  ASSERT_NE(layout.text.window, nullptr);
  EXPECT_EQ(Lines(layout.text.text), L"Welcome.\nPlease read this first.");
  EXPECT_EQ(layout.text.rect.left, kSignSize + 25);
  EXPECT_EQ(layout.text.rect.top, 15);
  EXPECT_EQ(layout.text.rect.right, layout.client.right - 10);
  EXPECT_EQ(layout.text.rect.bottom, kSignSize + 20) << "two lines are raised to the sign's height plus 20";
  EXPECT_TRUE(layout.text.style & ES_READONLY);
  EXPECT_EQ(layout.client.bottom, layout.text.rect.bottom + 46);

  const int bottomEdge = layout.client.bottom + GetSystemMetrics(SM_CYDLGFRAME);
  ASSERT_NE(layout.decline.window, nullptr);
  ASSERT_NE(layout.accept.window, nullptr);
  EXPECT_EQ(layout.decline.rect.right, layout.client.right - 7) << "the decline button stands rightmost";
  EXPECT_EQ(WidthOf(layout.decline.rect), 75);
  EXPECT_EQ(layout.accept.rect.right, layout.decline.rect.left - 9);
  EXPECT_EQ(WidthOf(layout.accept.rect), 75);
  for (const ChildWindow* button : {&layout.decline, &layout.accept}) {
    EXPECT_EQ(button->rect.top, bottomEdge - 36);
    EXPECT_EQ(button->rect.bottom, bottomEdge - 10);
  }

  EXPECT_EQ(run.Finish(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(layout.accept.window)),
            IDOK);
}

TEST(NoticeDialog, TheSignIsPaintedBlueAtTheTopLeft) {
  NoticeRun run(Notice(Utf16Le(u"Short.")));
  HWND dialog = run.Dialog();
  ASSERT_NE(dialog, nullptr);
  RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  Sleep(300);
  HDC dc = GetDC(dialog);
  // Inside the disc, left of the letter; and the dialog's background beside the sign.
  const COLORREF disc = GetPixel(dc, 15 + 4, 15 + 16);
  const COLORREF beside = GetPixel(dc, 15 + kSignSize + 3, 15 + 16);
  ReleaseDC(dialog, dc);
  EXPECT_GT(GetBValue(disc), 150) << std::hex << disc;
  EXPECT_LT(GetRValue(disc), 120) << std::hex << disc;
  EXPECT_NE(disc, beside);
  run.Finish(dialog, WM_CLOSE, 0, 0);
}

TEST(NoticeDialog, RtfAndLongTextsGetTheTallBox) {
  struct Case {
    const char* name;
    std::string bytes;
    bool scrolls;  // the control shows its vertical scroll bar only when the text needs it
  };
  const Case cases[] = {
      {"rtf, one line", "{\\rtf1\\ansi{\\fonttbl{\\f0 Tahoma;}}\\f0\\fs18 One line of {\\b RTF}.\\par}", false},
      {"30 lines of plain text", NumberedLines(30), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NoticeRun run(Notice(c.bytes));
    HWND dialog = run.Dialog();
    ASSERT_NE(dialog, nullptr);
    Layout layout = ReadLayout(dialog);
    EXPECT_EQ(layout.text.rect.bottom, static_cast<int>(WidthOf(layout.text.rect) / 2.2));
    EXPECT_EQ((layout.text.style & WS_VSCROLL) != 0, c.scrolls);
    run.Finish(dialog, WM_CLOSE, 0, 0);
  }
}

TEST(NoticeDialog, TenLinesStillSizeTheBoxByLines) {
  NoticeRun run(Notice(NumberedLines(10)));
  HWND dialog = run.Dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ReadLayout(dialog).text.rect.bottom, 11 * 15);
  run.Finish(dialog, WM_CLOSE, 0, 0);
}

TEST(NoticeDialog, LongCaptionsWidenTheButtonsAndTheWindowUpToTwoThirdsOfTheScreen) {
  const int limit = static_cast<int>(2.0 / 3.0 * GetSystemMetrics(SM_CXFULLSCREEN));
  struct Case {
    const char* name;
    std::wstring caption;
  };
  const Case cases[] = {
      {"wider than 75", L"I do not accept these conditions"},
      {"wider than the window", std::wstring(L"I have read all of the above and accept it, ") + L"every single word"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NoticeRun run(Notice(Utf16Le(u"Text."), c.caption, c.caption));
    HWND dialog = run.Dialog();
    ASSERT_NE(dialog, nullptr);
    Layout layout = ReadLayout(dialog);
    const int width = WidthOf(layout.decline.rect);
    EXPECT_GT(width, 75);
    EXPECT_EQ(WidthOf(layout.accept.rect), width);
    EXPECT_EQ(layout.decline.rect.right, layout.client.right - 7);
    EXPECT_EQ(layout.accept.rect.right, layout.decline.rect.left - 9);
    const int need = 2 * width + 9 + 14 + 2 * GetSystemMetrics(SM_CXEDGE);
    const int expected = need > 550 ? std::min(need, limit) : WidthOf(layout.window);
    EXPECT_EQ(WidthOf(layout.window), expected);
    EXPECT_LE(WidthOf(layout.window), limit);
    EXPECT_EQ(layout.text.rect.right, layout.client.right - 10) << "the text keeps its right margin";
    run.Finish(dialog, WM_CLOSE, 0, 0);
  }
}

TEST(NoticeDialog, AcceptDeclineEscapeAndClose) {
  struct Case {
    const char* name;
    int button;  // 0: send `message` to the dialog instead
    UINT message;
    WPARAM wParam;
    INT_PTR result;
  };
  const Case cases[] = {
      {"accept", IDOK, 0, 0, IDOK},
      {"decline", IDCANCEL, 0, 0, IDCANCEL},
      {"Esc", 0, WM_KEYDOWN, VK_ESCAPE, IDCANCEL},
      {"close", 0, WM_CLOSE, 0, IDCANCEL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NoticeRun run(Notice(Utf16Le(u"Text.")));
    HWND dialog = run.Dialog();
    ASSERT_NE(dialog, nullptr);
    INT_PTR result = 0;
    if (c.button) {
      HWND button = GetDlgItem(dialog, c.button);
      result = run.Finish(dialog, WM_COMMAND, MAKEWPARAM(c.button, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    } else {
      result = run.Finish(dialog, c.message, c.wParam, 0);
    }
    EXPECT_EQ(result, c.result);
  }
}

class ShowNoticeTest : public LauncherStateTest {
 protected:
  void SetUp() override {
    LauncherStateTest::SetUp();
    state.settings.appTitle = u"Ledger Pro";
    if (!state.macros) state.macros = std::make_unique<MacroExpander>(ToAnsiCodePage);
    state.macros->Set(u"APPNAME", u"Ledger Pro");
    state.testFlag = false;
  }
  void TearDown() override {
    state.testFlag = false;
    LauncherStateTest::TearDown();
  }

  struct Shown {
    bool declined = false;
    bool dialogShown = false;
    std::wstring title;
    std::wstring text;
    bool hasIcon = false;
  };
  // ShowNotice on a thread; the dialog, when one comes, is read and then answered.
  Shown Show(const std::string& bytes, int answer, HICON icon = nullptr) {
    Shown shown;
    UiThread thread([&] { shown.declined = ShowNotice(bytes, icon, nullptr); });
    if (HWND dialog = WaitForThreadWindow(thread.Id(), L"#32770", 3000)) {
      shown.dialogShown = true;
      shown.title = TextOf(dialog);
      shown.text = Lines(TextOf(GetDlgItem(dialog, kNoticeRichEditId)));
      shown.hasIcon = SendMessageW(dialog, WM_GETICON, ICON_BIG, 0) != 0;
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(dialog, answer)));
    }
    EXPECT_TRUE(thread.WaitForEnd(5000));
    return shown;
  }
};

std::wstring AnsiShown(const std::string& bytes) {
  wchar_t wide[256] = {};
  MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes.data(), static_cast<int>(bytes.size()), wide, 255);
  return wide;
}

TEST_F(ShowNoticeTest, EachKindOfTextShowsWithMacrosExpandedExceptInRtf) {
  struct Case {
    const char* name;
    std::string bytes;
    std::wstring shown;
  };
  const Case cases[] = {
      {"utf-16 with mark", Utf16Le(u"\uFEFFWelcome to <?APPNAME?> \u20AC"), L"Welcome to Ledger Pro \u20AC"},
      {"utf-16 without mark", Utf16Le(u"Welcome to <?APPNAME?>, dear user."), L"Welcome to Ledger Pro, dear user."},
      {"rtf", "{\\rtf1\\ansi Welcome to {\\b <?APPNAME?>}.\\par}", L"Welcome to <?APPNAME?>."},
      {"utf-8", "Gr\xC3\xBC\xC3\x9F" "e von <?APPNAME?> \xE2\x82\xAC", L"Gr\u00FC\u00DFe von Ledger Pro \u20AC"},
      {"utf-8 with mark", "\xEF\xBB\xBFWelcome to <?APPNAME?>", L"Welcome to Ledger Pro"},
      {"ansi", "Gr\xFC\xDF" "e von <?APPNAME?>", AnsiShown("Gr\xFC\xDF" "e von Ledger Pro")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Shown shown = Show(c.bytes, IDOK);
    ASSERT_TRUE(shown.dialogShown);
    EXPECT_FALSE(shown.declined);
    EXPECT_EQ(shown.text, c.shown);
    EXPECT_EQ(shown.title, L"Ledger Pro - " + ToWide(GetText(TextId::kNoticeTitle)));
  }
}

TEST_F(ShowNoticeTest, DeclinedNoticeStopsTheStartAndLeavesTheCallersIconAlone) {
  BYTE andMask[128];
  BYTE xorMask[128] = {};
  std::fill(std::begin(andMask), std::end(andMask), BYTE{0});
  HICON icon = CreateIcon(nullptr, 32, 32, 1, 1, andMask, xorMask);  // all black
  ASSERT_NE(icon, nullptr);
  Shown shown = Show(Utf16Le(u"Read me."), IDCANCEL, icon);
  EXPECT_TRUE(shown.dialogShown);
  EXPECT_TRUE(shown.declined);
  EXPECT_TRUE(shown.hasIcon);
  ICONINFO info = {};
  EXPECT_TRUE(GetIconInfo(icon, &info)) << "the icon still belongs to the caller";
  if (info.hbmMask) DeleteObject(info.hbmMask);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  DestroyIcon(icon);
}

TEST_F(ShowNoticeTest, NothingIsShownInATestRunOrForATextThatIsEmptyAfterAll) {
  state.testFlag = true;
  Shown inTest = Show(Utf16Le(u"Read me."), IDCANCEL);
  EXPECT_FALSE(inTest.dialogShown);
  EXPECT_FALSE(inTest.declined);

  state.testFlag = false;
  // An odd length is never UTF-16, so the text ends at its first byte.
  Shown empty = Show(std::string("\0ab", 3), IDCANCEL);
  EXPECT_FALSE(empty.dialogShown);
  EXPECT_FALSE(empty.declined);
}

}  // namespace
