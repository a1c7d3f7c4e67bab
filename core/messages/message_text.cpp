#include "core/messages/message_text.h"

#include "core/text/message_texts.h"
#include "core/text/text_overrides.h"
#include "core/encoding/utf.h"
#include "core/messages/macro_expander.h"

namespace {

bool HasOverride(const MessageTextSources& sources, int key) {
  return sources.overrides != nullptr && sources.overrides->HasOverrideText(key);
}

// A built-in text as shown: its two-character sequences backslash-n become line feeds
// here, before macro expansion, so that a backslash followed by n in a macro's value (a
// title "Sales\north", a folder "C:\Users\nina") stays as it is. Override texts get the
// same treatment when they are read.
std::string BuiltInTextUtf8(int id) { return ReplaceBackslashN(GetTextUtf8(id)); }

}  // namespace

std::u16string GetMessageText(const MessageTextSources& sources, int key, int id) {
  std::u16string text;
  if (HasOverride(sources, key)) text = sources.overrides->GetOverrideText(key);
  if (text.empty()) text = Utf8ToUtf16(BuiltInTextUtf8(id));
  if (sources.expander != nullptr) text = sources.expander->ExpandWide(text);
  return text;
}

std::string GetMessageTextUtf8(const MessageTextSources& sources, int key, int id) {
  std::string text;
  if (HasOverride(sources, key)) text = sources.overrides->GetOverrideTextUtf8(key);
  if (text.empty()) text = BuiltInTextUtf8(id);
  // These texts become notice4user messages, shown after a strict UTF-8 conversion;
  // macro values therefore go in as UTF-8, not in the ANSI code page.
  if (sources.expander != nullptr) text = sources.expander->ExpandUtf8(text);
  return text;
}

std::u16string GetWarningCaption(const MessageTextSources& sources, int captionKey) {
  if (captionKey != 0 && HasOverride(sources, captionKey)) return GetExpandedOverrideText(sources, captionKey);
  return GetMessageText(sources, OverrideKey::kWarningCaption, TextId::kWarningCaption);
}

std::u16string GetExpandedOverrideText(const MessageTextSources& sources, int key) {
  std::u16string text;
  if (HasOverride(sources, key)) text = sources.overrides->GetOverrideText(key);
  if (sources.expander != nullptr) text = sources.expander->ExpandWide(text);
  return text;
}
