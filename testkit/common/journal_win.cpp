#include "testkit/common/journal_win.h"

#include "core/win/wide_win.h"
#include "core/encoding/utf.h"

Journal::~Journal() {
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
}

void Journal::Open(const std::wstring& path) {
  if (path.empty()) return;
  // Append-only access makes every write land at the end, whoever else writes the file.
  file_ = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void Journal::Write(std::string_view line) {
  if (file_ == INVALID_HANDLE_VALUE) return;
  std::string text(line);
  text += '\n';
  DWORD written = 0;
  WriteFile(file_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  FlushFileBuffers(file_);
}

std::string QuoteText(std::wstring_view text) {
  std::u16string units = FromWide(text);
  for (size_t i = 0; i < units.size(); ++i) {
    char16_t c = units[i];
    bool high = c >= 0xD800 && c <= 0xDBFF;
    bool low = c >= 0xDC00 && c <= 0xDFFF;
    if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      ++i;  // a valid pair
    } else if (high || low) {
      units[i] = 0xFFFD;
    }
  }
  return QuoteText(std::string_view(Utf16ToUtf8(units)));
}

std::string QuoteText(std::string_view utf8) {
  static const char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (char c : utf8) {
    auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          out += "\\x";
          out += kHex[byte >> 4];
          out += kHex[byte & 15];
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

std::string HexBytes(std::string_view bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) {
    auto byte = static_cast<unsigned char>(c);
    out += kHex[byte >> 4];
    out += kHex[byte & 15];
  }
  return out;
}
