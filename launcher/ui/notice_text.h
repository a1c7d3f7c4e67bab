#pragma once
// What the start notice's bytes are and what the notice shows of them: UTF-16LE (with
// or without a byte-order mark), RTF, UTF-8 (with or without a mark) or ANSI text.
// Whether bytes are UTF-16 is Windows' IsTextUnicode verdict, passed in by the caller.
#include <string>
#include <string_view>

class MacroExpander;

enum class NoticeFormat { Utf16, Rtf, Ansi };

struct NoticeContent {
  NoticeFormat format = NoticeFormat::Ansi;
  std::u16string wide;   // Utf16: the text, macros expanded (a leading mark kept)
  std::string narrow;    // Rtf: the bytes unchanged; Ansi: the bytes, macros expanded
};

bool StartsWithRtf(std::string_view bytes);

// The bytes the notice goes on with: UTF-16 and RTF bytes whole, any other text up to
// its first zero byte. Empty means there is nothing to show.
std::string NormaliseNoticeBytes(std::string_view bytes, bool isTextUnicode);

// Classifies the (normalised) bytes, converts them and expands the macros; RTF is
// never expanded. `expander` may be null (no expansion). A text that cannot be
// converted gives an empty UTF-16 text.
NoticeContent LoadNoticeContent(std::string_view bytes, bool isTextUnicode, const MacroExpander* expander);

// The UTF-16 text to show without its byte-order mark.
std::u16string_view WithoutByteOrderMark(std::u16string_view text);
