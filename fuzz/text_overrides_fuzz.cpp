// The text override table (item 1035): counts and lengths that may run past its end,
// texts that may not be UTF-8, and every way the launcher fetches a text from it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "core/messages/message_text.h"
#include "core/payload/packed_item.h"
#include "core/text/text_overrides.h"
#include "core/encoding/utf.h"
#include "core/messages/macro_expander.h"

namespace {

// Settings texts are raw UTF-16 from a record and may hold lone surrogates.
MacroExpander HostileMacros() {
  MacroExpander macros;
  macros.Set(u"APPNAME", u"Budget <?APPINFO?> \xD800");
  macros.Set(u"APPINFO", u"\xDC00 info");
  macros.Set(u"AUTHOR_CONTACT", u"mailto:someone@example.com");
  return macros;
}

void FetchEveryWay(const MessageTextSources& sources, int32_t key) {
  const TextOverrideTable& table = *sources.overrides;
  const bool has = table.HasOverrideText(key);
  const std::string utf8 = table.GetOverrideTextUtf8(key);
  FUZZ_CHECK(has || utf8.empty());
  FUZZ_CHECK(IsValidUtf8(utf8));
  table.GetOverrideText(key);
  GetMessageText(sources, key, 8);
  GetExpandedOverrideText(sources, key);
  // This text travels in a notice4user and is converted strictly when it is shown.
  FUZZ_CHECK(IsValidUtf8(GetMessageTextUtf8(sources, key, 22)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string item(reinterpret_cast<const char*>(data), size);
  InflatePackedItem(item);
  TextOverrideTable table;
  table.LoadTextOverrides(item);

  const MacroExpander macros = HostileMacros();
  const MessageTextSources sources{&table, &macros};
  for (const auto& [key, text] : table.Texts()) {
    FUZZ_CHECK(!text.empty() && text.size() <= 131070 && text.find('\0') == std::string::npos);
    FetchEveryWay(sources, key);
  }
  FetchEveryWay(sources, 7);
  return 0;
}
