#include "packer/console_win.h"

#include "packer/lenient_text.h"

ConsoleBuffer::int_type ConsoleBuffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return sync() == 0 ? traits_type::not_eof(c) : c;
  pending_ += traits_type::to_char_type(c);
  if (c == '\n') sync();
  return c;
}

std::streamsize ConsoleBuffer::xsputn(const char* bytes, std::streamsize count) {
  pending_.append(bytes, static_cast<size_t>(count));
  if (pending_.find('\n') != std::string::npos) sync();
  return count;
}

int ConsoleBuffer::sync() {
  const size_t complete = CompleteUtf8Prefix(pending_);
  if (complete == 0) return 0;
  const std::u16string text = LenientUtf16(std::string_view(pending_).substr(0, complete));
  pending_.erase(0, complete);
  DWORD written = 0;
  return WriteConsoleW(console_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ? 0 : -1;
}

std::unique_ptr<ConsoleBuffer> ConsoleBufferFor(DWORD standardHandle) {
  HANDLE handle = GetStdHandle(standardHandle);
  DWORD mode = 0;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) return nullptr;
  return std::make_unique<ConsoleBuffer>(handle);
}
