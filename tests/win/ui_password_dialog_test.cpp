// The start-up password prompt run in-process: its controls, ids, texts and geometry,
// what the keys and buttons end it with, and the password check around it.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "core/win/wide_win.h"
#include "core/text/message_texts.h"
#include "core/text/text_overrides.h"
#include "launcher/ui/password_dialog_win.h"
#include "launcher_state_fixture_win.h"
#include "ui_test_support_win.h"

namespace {

const std::u16string kAppTitle = u"Ledger Pro";
const std::u16string kContact = u"author@example.com";

std::wstring Text(int id) { return ToWide(GetText(id)); }

// One modal run of the prompt on a thread of its own.
struct PromptRun {
  explicit PromptRun(std::u16string contact = kContact) : contact(std::move(contact)) {}
  std::u16string contact;
  INT_PTR result = 0;
  std::wstring password;
  UiThread thread{[this] {
    CPasswordDialog dialog(kAppTitle, contact);
    result = dialog.DoModal(nullptr);
    password = dialog.Password();
  }};
  HWND Dialog() { return WaitForThreadWindow(thread.Id(), L"#32770"); }
};

HWND FindEdit(HWND dialog) {
  for (const ChildWindow& child : ChildrenOf(dialog)) {
    if (lstrcmpiW(child.className.c_str(), L"Edit") == 0) return child.window;
  }
  return nullptr;
}

TEST(PasswordDialog, ControlsIdsTextsAndGeometry) {
  PromptRun run;
  HWND dialog = run.Dialog();
  ASSERT_NE(dialog, nullptr);

  EXPECT_EQ(TextOf(dialog), Text(TextId::kPasswordTitlePrefix) + L" " + ToWide(kAppTitle));
  RECT window = {};
  GetWindowRect(dialog, &window);
  EXPECT_EQ(WidthOf(window), 290);
  RECT client = {};
  GetClientRect(dialog, &client);

  const std::vector<ChildWindow> children = ChildrenOf(dialog);
  ASSERT_EQ(children.size(), 6u) << "heading, prompt, field and three buttons";

  const ChildWindow& heading = children[0];
  EXPECT_EQ(heading.className, L"Static");
  EXPECT_EQ(heading.text, Text(TextId::kPasswordHeading));
  EXPECT_EQ(heading.id, 0);
  EXPECT_EQ(heading.rect.top, 5);
  EXPECT_EQ(heading.rect.left, 0);
  EXPECT_GT(HeightOf(heading.rect), 0);
  EXPECT_TRUE(heading.style & SS_CENTER);

  const ChildWindow& prompt = children[1];
  EXPECT_EQ(prompt.text, Text(TextId::kPasswordPrompt));
  EXPECT_EQ(prompt.rect.left, 4);
  EXPECT_EQ(prompt.rect.top, heading.rect.bottom + 5) << "5 pixels below the heading";

  const ChildWindow& field = children[2];
  EXPECT_EQ(lstrcmpiW(field.className.c_str(), L"Edit"), 0);
  EXPECT_TRUE(field.style & ES_PASSWORD);
  EXPECT_TRUE(field.exStyle & WS_EX_CLIENTEDGE);
  EXPECT_EQ(field.rect.left, prompt.rect.right + 4) << "right of the prompt";
  EXPECT_EQ(field.rect.right, client.right - 4);
  EXPECT_EQ(field.rect.top, prompt.rect.top - 2);
  EXPECT_EQ(field.rect.bottom, prompt.rect.top + 16);

  struct Button {
    int id;
    int left;
    int right;
    int textId;
  };
  const Button buttons[] = {{77, 3, 126, TextId::kContactButton},
                            {IDOK, 130, 204, TextId::kPasswordAccept},
                            {IDCANCEL, 208, 282, TextId::kPasswordCancel}};
  int buttonTop = -1;
  for (size_t i = 0; i < 3; ++i) {
    const ChildWindow& child = children[3 + i];
    SCOPED_TRACE(child.text);
    EXPECT_EQ(child.className, L"Button");
    EXPECT_EQ(child.id, buttons[i].id);
    EXPECT_EQ(child.text, Text(buttons[i].textId));
    EXPECT_EQ(child.rect.left, buttons[i].left);
    EXPECT_EQ(child.rect.right, buttons[i].right);
    EXPECT_EQ(HeightOf(child.rect), 23);
    if (buttonTop < 0) buttonTop = child.rect.top;
    EXPECT_EQ(child.rect.top, buttonTop);
  }
  EXPECT_GT(buttonTop, field.rect.bottom);
  EXPECT_EQ(client.bottom, buttonTop + 28) << "the client area ends 5 pixels below the buttons";

  GUITHREADINFO gui = {};
  gui.cbSize = sizeof gui;
  GetGUIThreadInfo(run.thread.Id(), &gui);
  EXPECT_EQ(gui.hwndFocus, field.window) << "the password field has the focus";

  PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(run.thread.WaitForEnd(5000));
}

// Without a contact there is no one to ask: no contact button, the other two where they were.
TEST(PasswordDialog, WithoutContactTheContactButtonIsLeftOut) {
  PromptRun run(u"");
  HWND dialog = run.Dialog();
  ASSERT_NE(dialog, nullptr);
  std::vector<int> buttons;
  for (const ChildWindow& child : ChildrenOf(dialog)) {
    if (child.className == L"Button") buttons.push_back(child.id);
  }
  EXPECT_EQ(buttons, (std::vector<int>{IDOK, IDCANCEL}));
  EXPECT_EQ(GetDlgItem(dialog, 77), nullptr);
  PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(run.thread.WaitForEnd(5000));
  EXPECT_EQ(run.result, IDCANCEL);
}

TEST(PasswordDialog, AcceptKeepsWhatWasTypedCutTo511Characters) {
  struct Case {
    std::wstring typed;
    std::wstring kept;
  };
  const Case cases[] = {{L"s3cret \u00E4\u20AC", L"s3cret \u00E4\u20AC"},
                        {std::wstring(600, L'x'), std::wstring(511, L'x')}};
  for (const Case& c : cases) {
    PromptRun run;
    HWND dialog = run.Dialog();
    ASSERT_NE(dialog, nullptr);
    SendMessageW(FindEdit(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(c.typed.c_str()));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(run.thread.WaitForEnd(5000));
    EXPECT_EQ(run.result, IDOK);
    EXPECT_EQ(run.password, c.kept);
  }
}

TEST(PasswordDialog, EnterAcceptsEscapeCancelButtonTwoAndClosingCancel) {
  struct Case {
    const char* name;
    UINT message;
    WPARAM wParam;
    bool toField;
    INT_PTR result;
  };
  const Case cases[] = {
      {"Enter in the field", WM_KEYDOWN, VK_RETURN, true, IDOK},
      {"Esc in the field", WM_KEYDOWN, VK_ESCAPE, true, IDCANCEL},
      {"cancel button", WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), false, IDCANCEL},
      {"closing the window", WM_CLOSE, 0, false, IDCANCEL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PromptRun run;
    HWND dialog = run.Dialog();
    ASSERT_NE(dialog, nullptr);
    PostMessageW(c.toField ? FindEdit(dialog) : dialog, c.message, c.wParam, 0);
    ASSERT_TRUE(run.thread.WaitForEnd(5000));
    EXPECT_EQ(run.result, c.result);
  }
}

class StartupPasswordTest : public LauncherStateTest {
 protected:
  void SetUp() override {
    LauncherStateTest::SetUp();
    state.settings.startPassword = u"Open Sesame";
    state.settings.appTitle = kAppTitle;
  }
  void TearDown() override {
    state.commandLinePassword.clear();
    LauncherStateTest::TearDown();
  }

  // AskStartupPassword on a thread; `answer` plays the user when a prompt appears.
  struct Outcome {
    bool stop = false;
    bool notice = false;
    std::string noticeText;
    bool promptShown = false;
    std::chrono::milliseconds took{0};
  };
  Outcome Ask(const std::function<void(HWND)>& answer) {
    Outcome outcome;
    UiThread thread([&] {
      auto start = std::chrono::steady_clock::now();
      try {
        outcome.stop = AskStartupPassword();
      } catch (const notice4user& notice) {
        outcome.notice = true;
        outcome.noticeText = notice.what();
      }
      outcome.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    });
    if (HWND dialog = WaitForThreadWindow(thread.Id(), L"#32770", 1500)) {
      outcome.promptShown = true;
      answer(dialog);
    }
    EXPECT_TRUE(thread.WaitForEnd(5000));
    return outcome;
  }

  static void Type(HWND dialog, const wchar_t* text) {
    SendMessageW(FindEdit(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  }
};

// The title's start is the author's to translate, like every other text of the prompt.
TEST_F(StartupPasswordTest, TitlePrefixComesFromTheOverrideTable) {
  state.overrides->LoadTextOverrides(WriteTextOverrides({{OverrideKey::kPasswordTitlePrefix, "Passwort f\xC3\xBCr"}}));
  std::wstring title;
  Outcome outcome = Ask([&title](HWND dialog) {
    title = TextOf(dialog);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  state.overrides->Clear();
  EXPECT_TRUE(outcome.promptShown);
  EXPECT_EQ(title, L"Passwort f\u00FCr " + ToWide(kAppTitle));
}

TEST_F(StartupPasswordTest, RightPasswordOnTheCommandLineSkipsThePrompt) {
  state.commandLinePassword = L"Open Sesame";
  Outcome outcome = Ask([](HWND dialog) { PostMessageW(dialog, WM_CLOSE, 0, 0); });
  EXPECT_FALSE(outcome.promptShown);
  EXPECT_FALSE(outcome.stop);
  EXPECT_FALSE(outcome.notice);
}

TEST_F(StartupPasswordTest, WrongPasswordOnTheCommandLineIsRefusedAfterThePause) {
  state.commandLinePassword = L"open sesame";  // compared case-sensitively
  Outcome outcome = Ask([](HWND dialog) { PostMessageW(dialog, WM_CLOSE, 0, 0); });
  EXPECT_FALSE(outcome.promptShown);
  EXPECT_TRUE(outcome.notice);
  EXPECT_EQ(outcome.noticeText, GetTextUtf8(TextId::kWrongPassword));
  EXPECT_GE(outcome.took.count(), 290);
}

TEST_F(StartupPasswordTest, TypedPasswords) {
  Outcome right = Ask([](HWND dialog) { Type(dialog, L"Open Sesame"); });
  EXPECT_TRUE(right.promptShown);
  EXPECT_FALSE(right.stop);
  EXPECT_FALSE(right.notice);

  Outcome wrong = Ask([](HWND dialog) { Type(dialog, L"Open Sesame "); });
  EXPECT_TRUE(wrong.notice);
  EXPECT_EQ(wrong.noticeText, GetTextUtf8(TextId::kWrongPassword));

  Outcome cancelled = Ask([](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
  EXPECT_TRUE(cancelled.stop);
  EXPECT_FALSE(cancelled.notice);
}

}  // namespace
