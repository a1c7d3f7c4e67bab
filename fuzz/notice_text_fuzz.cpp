// The start notice (item 1105): UTF-16 with or without a mark, half a surrogate pair,
// RTF, UTF-8, ANSI or none of them, classified and converted as the notice dialog does
// and as `sheetpack inspect` reports it, by the same fixed rules.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "core/messages/macro_expander.h"
#include "core/messages/notice_text.h"
#include "packer/notice_kind.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view item(reinterpret_cast<const char*>(data), size);

  MacroExpander macros;
  macros.Set(u"APPNAME", u"Budget \xD800<?APPNAME?>");
  const std::string normalised = NormaliseNoticeBytes(item);
  FUZZ_CHECK(normalised.size() <= item.size());
  // The verdict does not change with the normalisation.
  FUZZ_CHECK(IsUtf16NoticeText(normalised) == IsUtf16NoticeText(item));

  const NoticeContent content = LoadNoticeContent(normalised, &macros);
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
  LoadNoticeContent(normalised, nullptr);

  // What `sheetpack inspect` reports is what the launcher shows.
  const NoticeKind kind = ClassifyNotice(item);
  if (item.size() >= 3) {
    FUZZ_CHECK((kind == NoticeKind::kRtf) == StartsWithRtf(item));
    FUZZ_CHECK((kind == NoticeKind::kUtf16) == (!StartsWithRtf(item) && IsUtf16NoticeText(item)));
    if (kind == NoticeKind::kRtf) FUZZ_CHECK(content.format == NoticeFormat::Rtf);
    if (kind == NoticeKind::kAnsi) FUZZ_CHECK(content.format == NoticeFormat::Ansi);
  }
  return 0;
}
