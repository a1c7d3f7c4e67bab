#include "core/messages/notice_text.h"

#include "core/encoding/utf.h"
#include "core/messages/macro_expander.h"

namespace {

constexpr std::string_view kRtfStart = "{\\rtf";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16Mark = "\xFF\xFE";

std::string_view UpToFirstZero(std::string_view bytes) { return bytes.substr(0, bytes.find('\0')); }

std::u16string ExpandWide(const std::u16string& text, const MacroExpander* expander) {
  return expander ? expander->ExpandWide(text) : text;
}

}  // namespace

bool StartsWithRtf(std::string_view bytes) { return bytes.substr(0, kRtfStart.size()) == kRtfStart; }

bool IsUtf16NoticeText(std::string_view bytes) {
  if (StartsWithRtf(bytes)) return false;
  if (bytes.substr(0, kUtf16Mark.size()) == kUtf16Mark) return true;
  if (bytes.substr(0, kUtf8Mark.size()) == kUtf8Mark) return false;
  if (bytes.empty() || bytes.size() % 2 != 0) return false;
  const size_t units = bytes.size() / 2;
  size_t firstPage = 0;
  for (size_t i = 0; i < units; ++i) {
    if (bytes[2 * i] != '\0' && bytes[2 * i + 1] == '\0') ++firstPage;
  }
  return firstPage > units / 2;
}

std::string NormaliseNoticeBytes(std::string_view bytes) {
  if (StartsWithRtf(bytes) || IsUtf16NoticeText(bytes)) return std::string(bytes);
  return std::string(UpToFirstZero(bytes));
}

NoticeContent LoadNoticeContent(std::string_view bytes, const MacroExpander* expander) {
  NoticeContent content;
  try {
    if (StartsWithRtf(bytes)) {
      content.format = NoticeFormat::Rtf;
      content.narrow = std::string(bytes);
    } else if (IsUtf16NoticeText(bytes)) {
      content.format = NoticeFormat::Utf16;
      content.wide = ExpandWide(Utf16LeBytesToString(bytes), expander);
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
