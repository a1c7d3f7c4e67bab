#pragma once
// What the start notice's bytes are and what the notice shows of them: UTF-16LE (with
// or without a byte-order mark), RTF, UTF-8 (with or without a mark) or ANSI text,
// told apart by fixed rules (no statistical guess: the same bytes always show the same).
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

// Whether the notice's bytes are UTF-16LE text, by these rules in this order:
//   1. bytes that start with "{\rtf" are RTF, not UTF-16;
//   2. a UTF-16LE byte-order mark (FF FE) at the start: UTF-16;
//   3. a UTF-8 byte-order mark (EF BB BF) at the start: not UTF-16;
//   4. without a mark, UTF-16 only when the bytes leave no doubt: an even number of
//      bytes, and more than half of the code units a non-zero byte followed by a zero
//      byte (a character of the first 256 in UTF-16LE; 8-bit text holds no zero byte).
// UTF-16 text mostly of other characters (Greek, Cyrillic, CJK) needs its mark.
bool IsUtf16NoticeText(std::string_view bytes);

// The bytes the notice goes on with: UTF-16 and RTF bytes whole, any other text up to
// its first zero byte. Empty means there is nothing to show.
std::string NormaliseNoticeBytes(std::string_view bytes);

// Classifies the (normalised) bytes, RTF first, converts them and expands the macros;
// RTF is never expanded. `expander` may be null (no expansion). A text that cannot be
// converted gives an empty UTF-16 text.
NoticeContent LoadNoticeContent(std::string_view bytes, const MacroExpander* expander);

// The UTF-16 text to show without its byte-order mark.
std::u16string_view WithoutByteOrderMark(std::u16string_view text);
