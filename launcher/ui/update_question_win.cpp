#include "launcher/ui/update_question_win.h"

#include <windows.h>

#include "core/messages/macro_expander.h"
#include "core/messages/message_text.h"
#include "core/payload/item_ids.h"
#include "core/payload/resources_win.h"
#include "core/text/message_texts.h"
#include "core/text/text_overrides.h"
#include "core/win/wide_win.h"
#include "launcher/base/launcher_state_win.h"
#include "launcher/base/macro_sources_win.h"

std::optional<bool> AskAboutSavedWorkbook(const UpdateQuestionFacts& facts) {
  const LauncherState& state = State();
  if (state.testFlag || state.silentStart != 0) return std::nullopt;
  // Asked while the settings are being read: the author's texts and the new version's
  // macros are taken here, before the launch sets up its own.
  TextOverrideTable overrides;
  std::string table;
  if (ReadPackedItem(ItemId::kTextOverrides, table)) overrides.LoadTextOverrides(table);
  MacroExpander macros(ToAnsiCodePage);
  macros.RefreshMacros(facts.own, LookUpShellFolder);
  macros.Set(u"SAVEDVER", FormatAppVersion(facts.saved.appVersion()));
  macros.Set(u"SAVEDSTATE", FromWide(facts.setAsidePath));
  const MessageTextSources sources{&overrides, &macros};

  const std::wstring text = ToWide(GetMessageText(sources, OverrideKey::kUpdateQuestion, TextId::kUpdateQuestion));
  const std::wstring caption = ToWide(facts.own.appTitle.empty() ? GetText(TextId::kAppTitle) : facts.own.appTitle);
  const int answer = MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND);
  return answer != IDNO;
}
