#include "packer/notice_kind.h"

#include "launcher/payload/utf.h"

namespace {

constexpr size_t kMinimumShown = 3;
constexpr size_t kSampleUnits = 256;

bool LooksLikeUtf16(std::string_view bytes) {
  if (bytes.size() % 2) return false;
  const size_t units = bytes.size() / 2 < kSampleUnits ? bytes.size() / 2 : kSampleUnits;
  size_t zeroHigh = 0;
  size_t zeroLow = 0;
  for (size_t i = 0; i < units; ++i) {
    zeroLow += bytes[2 * i] == '\0';
    zeroHigh += bytes[2 * i + 1] == '\0';
  }
  return zeroHigh * 2 > units && zeroLow * 8 < units;
}

}  // namespace

NoticeKind ClassifyNotice(std::string_view bytes) {
  if (bytes.size() < kMinimumShown) return NoticeKind::kNone;
  if (bytes.substr(0, 2) == "\xFF\xFE" || LooksLikeUtf16(bytes)) return NoticeKind::kUtf16;
  if (bytes.substr(0, 5) == "{\\rtf") return NoticeKind::kRtf;
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
