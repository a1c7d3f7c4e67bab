#pragma once
// How the launcher takes the start notice (item 1105): not at all when it is shorter
// than 3 bytes, else as UTF-16, RTF, UTF-8 or ANSI text.
#include <string_view>

enum class NoticeKind { kNone, kUtf16, kRtf, kUtf8, kAnsi };

// The launcher's own rules (core/messages/notice_text.h): RTF first, then UTF-16 by its
// mark or an unmistakable pattern, then UTF-8 (valid up to the first zero byte) or ANSI.
NoticeKind ClassifyNotice(std::string_view bytes);

// "none", "utf-16", "rtf", "utf-8" or "ansi".
const char* NoticeKindName(NoticeKind kind);
