#include "core/payload/saved_state_file_win.h"

#include <windows.h>

#include <stdio.h>

#include <algorithm>

#include "core/win/files_win.h"
#include "core/win/private_file_win.h"
#include "core/win/scoped_win.h"

namespace {

class ScopedFile {
 public:
  explicit ScopedFile(const std::wstring& path) : file_(_wfopen(path.c_str(), L"rb")) {}
  ScopedFile(const ScopedFile&) = delete;
  ScopedFile& operator=(const ScopedFile&) = delete;
  ~ScopedFile() {
    if (file_) fclose(file_);
  }
  FILE* get() const { return file_; }

  // The size by seeking to the end and back; -1 when that fails.
  int64_t Size() const {
    if (_fseeki64(file_, 0, SEEK_END) != 0) return -1;
    int64_t size = _ftelli64(file_);
    _fseeki64(file_, 0, SEEK_SET);
    return size;
  }

 private:
  FILE* file_;
};

}  // namespace

bool IsValidSavedState(const std::wstring& path, uint32_t settingsMagic) {
  if (path.empty() || !IsExistingFile(path)) return false;
  ScopedFile file(path);
  if (!file.get()) return false;
  int64_t size = file.Size();
  if (size <= static_cast<int64_t>(kSavedStateHeaderSize)) return false;
  std::string header(kSavedStateHeaderSize, '\0');
  if (fread(header.data(), header.size(), 1, file.get()) != 1) return false;
  return CheckSavedStateHeader(header, static_cast<uint64_t>(size), settingsMagic).empty();
}

std::optional<SavedState> ReadSavedStateFile(const std::wstring& path, uint32_t settingsMagic) {
  if (!IsValidSavedState(path, settingsMagic)) return std::nullopt;

  ScopedFile file(path);
  if (!file.get()) return std::nullopt;
  int64_t size = file.Size();
  if (size <= 0) return std::nullopt;
  std::string bytes(static_cast<size_t>(size), '\0');
  if (fread(bytes.data(), bytes.size(), 1, file.get()) != 1) return std::nullopt;

  // The file may have changed since it was validated: the parse checks it again.
  return ParseSavedState(bytes, settingsMagic);
}

namespace {

constexpr int kNameAttempts = 8;
constexpr DWORD kHeldFileWaitMs = 4000;  // a scanner or sync client holding the file
constexpr DWORD kHeldFileRetryMs = 100;

// A file open without FILE_SHARE_DELETE cannot be replaced: Windows says "access denied"
// as often as "sharing violation" for it.
bool HeldByAnother(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

// Flushed piece by piece: one flush of a large file holds the disk for its whole length,
// and under Wine the flush runs inside the server every process's window messages pass
// through, so every window of the session would wait for it.
constexpr size_t kFlushedPiece = size_t{1} << 22;

DWORD WriteAll(HANDLE file, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, kFlushedPiece));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) return GetLastError();
    if (written == 0) return ERROR_WRITE_FAULT;
    done += written;
    if (!FlushFileBuffers(file)) return GetLastError();
  }
  return FlushFileBuffers(file) ? ERROR_SUCCESS : GetLastError();
}

}  // namespace

unsigned long ReplaceFileSafely(const std::wstring& path, const std::string& bytes) {
  // A name nobody can foresee, created new: whatever is planted beside the file is never
  // opened. A name that exists nonetheless is drawn again.
  std::wstring temporary;
  ScopedHandle file;
  DWORD error = ERROR_FILE_EXISTS;
  for (int attempt = 0; attempt < kNameAttempts && !file; ++attempt) {
    std::wstring name = UnforeseeableName();
    if (name.empty()) return ERROR_GEN_FAILURE;
    temporary = path + L"." + name + L".tmp";
    file = CreatePrivateNewFile(temporary);
    if (!file) {
      error = GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return error;
    }
  }
  if (!file) return error;
  error = WriteAll(file.get(), bytes);
  file.reset();
  if (error == ERROR_SUCCESS) {
    const DWORD started = GetTickCount();
    for (;;) {
      if (MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return ERROR_SUCCESS;
      }
      error = GetLastError();
      if (!HeldByAnother(error) || GetTickCount() - started >= kHeldFileWaitMs) break;
      Sleep(kHeldFileRetryMs);
    }
  }
  DeleteFileW(temporary.c_str());
  return error;
}

std::wstring WindowsErrorText(unsigned long error) {
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer ? buffer : L"", length);
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
  if (text.empty()) text = L"Windows error " + std::to_wstring(error);
  return text;
}
