#include "packer/notice_kind.h"

#include "core/encoding/utf.h"
#include "core/messages/notice_text.h"

namespace {

constexpr size_t kMinimumShown = 3;

}  // namespace

NoticeKind ClassifyNotice(std::string_view bytes) {
  if (bytes.size() < kMinimumShown) return NoticeKind::kNone;
  if (StartsWithRtf(bytes)) return NoticeKind::kRtf;
  if (IsUtf16NoticeText(bytes)) return NoticeKind::kUtf16;
  return IsValidUtf8(bytes.substr(0, bytes.find('\0'))) ? NoticeKind::kUtf8 : NoticeKind::kAnsi;
}

const char* NoticeKindName(NoticeKind kind) {
  switch (kind) {
    case NoticeKind::kNone: return "none";
    case NoticeKind::kUtf16: return "utf-16";
    case NoticeKind::kRtf: return "rtf";
    case NoticeKind::kUtf8: return "utf-8";
    case NoticeKind::kAnsi: return "ansi";
  }
  return "";
}
