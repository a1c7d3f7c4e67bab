#pragma once
// How the launcher takes the start notice (item 1105): not at all when it is shorter
// than 3 bytes, else as UTF-16, RTF, UTF-8 or ANSI text.
#include <string_view>

enum class NoticeKind { kNone, kUtf16, kRtf, kUtf8, kAnsi };

// Text without a byte-order mark counts as UTF-16 the way Windows' IsTextUnicode
// mostly decides: even length, and mostly zero high bytes where ASCII would have them.
NoticeKind ClassifyNotice(std::string_view bytes);

// "none", "utf-16", "rtf", "utf-8" or "ansi".
const char* NoticeKindName(NoticeKind kind);
