// The start notice (item 1105): UTF-16 with or without a mark, half a surrogate pair,
// RTF, UTF-8, ANSI or none of them, classified and converted as the notice dialog does
// and as `sheetpack inspect` reports it. Windows' IsTextUnicode verdict is an input here.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "launcher/ui/macro_expander.h"
#include "launcher/ui/notice_text.h"
#include "packer/notice_kind.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const bool unicodeBefore = data[0] & 1;  // the verdict on the item's bytes
  const bool unicodeAfter = data[0] & 2;   // and on the bytes the notice goes on with
  const std::string_view item(reinterpret_cast<const char*>(data + 1), size - 1);

  MacroExpander macros;
  macros.Set(u"APPNAME", u"Budget \xD800<?APPNAME?>");
  const std::string normalised = NormaliseNoticeBytes(item, unicodeBefore);
  FUZZ_CHECK(normalised.size() <= item.size());

  const NoticeContent content = LoadNoticeContent(normalised, unicodeAfter, &macros);
  switch (content.format) {
    case NoticeFormat::Utf16:
      FUZZ_CHECK(content.narrow.empty());
      WithoutByteOrderMark(content.wide);
      break;
    case NoticeFormat::Rtf:
      // RTF is shown as it stands: its macro sequences are not expanded.
      FUZZ_CHECK(content.narrow == normalised && content.wide.empty());
      break;
    case NoticeFormat::Ansi:
      FUZZ_CHECK(content.wide.empty());
      FUZZ_CHECK(content.narrow.find('\0') == std::string::npos);
      break;
  }
  LoadNoticeContent(normalised, unicodeAfter, nullptr);
  ClassifyNotice(item);
  return 0;
}
