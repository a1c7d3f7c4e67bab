// Macro expansion of every shown text, in its wide, narrow (ANSI) and UTF-8 forms. The
// texts come from the notice item and the override table; the values from the settings
// record, so both sides are hostile.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "core/encoding/utf.h"
#include "core/messages/macro_expander.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte tells how many of the following bytes are the value (raw UTF-16LE).
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string_view valueBytes = rest.substr(0, data[0]);
  const std::string_view text = rest.substr(valueBytes.size());
  const std::u16string value = Utf16LeBytesToString(valueBytes);
  const std::u16string wideText = Utf16LeBytesToString(text);

  // Without macros every text comes back unchanged.
  const MacroExpander empty;
  FUZZ_CHECK(empty.ExpandWide(wideText) == wideText);
  FUZZ_CHECK(empty.ExpandNarrow(text) == text);
  FUZZ_CHECK(empty.ExpandUtf8(text) == text);

  MacroExpander macros;
  macros.Set(u"APPNAME", value);
  macros.Set(u"APPVER", FormatAppVersion(0x01020304));
  macros.Set(value, u"named by the input");
  macros.Set(u"\xE9t\xE9", u"\xFF\x100");  // a name and a value beyond ASCII
  macros.ExpandWide(wideText);
  macros.ExpandNarrow(text);
  // A valid UTF-8 text stays valid whatever the values hold (lone surrogates included).
  const std::string utf8 = macros.ExpandUtf8(text);
  if (IsValidUtf8(text)) FUZZ_CHECK(IsValidUtf8(utf8));
  return 0;
}
