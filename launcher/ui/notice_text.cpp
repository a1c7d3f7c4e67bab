#include "launcher/ui/notice_text.h"

#include "launcher/payload/utf.h"
#include "launcher/ui/macro_expander.h"

namespace {

constexpr std::string_view kRtfStart = "{\\rtf";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

std::string_view UpToFirstZero(std::string_view bytes) { return bytes.substr(0, bytes.find('\0')); }

std::u16string ExpandWide(const std::u16string& text, const MacroExpander* expander) {
  return expander ? expander->ExpandWide(text) : text;
}

}  // namespace

bool StartsWithRtf(std::string_view bytes) { return bytes.substr(0, kRtfStart.size()) == kRtfStart; }

std::string NormaliseNoticeBytes(std::string_view bytes, bool isTextUnicode) {
  if (isTextUnicode || StartsWithRtf(bytes)) return std::string(bytes);
  return std::string(UpToFirstZero(bytes));
}

NoticeContent LoadNoticeContent(std::string_view bytes, bool isTextUnicode, const MacroExpander* expander) {
  NoticeContent content;
  try {
    if (isTextUnicode) {
      content.format = NoticeFormat::Utf16;
      content.wide = ExpandWide(Utf16LeBytesToString(bytes), expander);
    } else if (StartsWithRtf(bytes)) {
      content.format = NoticeFormat::Rtf;
      content.narrow = std::string(bytes);
    } else {
      std::string_view text = UpToFirstZero(bytes);
      if (IsValidUtf8(text)) {
        if (text.substr(0, kUtf8Mark.size()) == kUtf8Mark) text.remove_prefix(kUtf8Mark.size());
        content.format = NoticeFormat::Utf16;
        content.wide = ExpandWide(Utf8ToUtf16(text), expander);
      } else {
        content.format = NoticeFormat::Ansi;
        content.narrow = expander ? expander->ExpandNarrow(text) : std::string(text);
      }
    }
  } catch (...) {
    // A text that does not convert is shown empty; the notice still asks its question.
    content = NoticeContent();
    content.format = NoticeFormat::Utf16;
  }
  return content;
}

std::u16string_view WithoutByteOrderMark(std::u16string_view text) {
  if (!text.empty() && text.front() == u'\xFEFF') text.remove_prefix(1);
  return text;
}
