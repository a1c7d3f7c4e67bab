#include "core/payload/saved_state_file_win.h"

#include <windows.h>

#include <stdio.h>

#include "core/win/files_win.h"

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

bool ReplaceFileAtomically(const std::wstring& path, const std::string& bytes) {
  // The temporary name is unique to this process, so two writers never share it.
  std::wstring temporary = path + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool complete = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size() && FlushFileBuffers(file);
  CloseHandle(file);
  if (complete && MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  DeleteFileW(temporary.c_str());
  return false;
}
