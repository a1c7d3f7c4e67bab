#include "launcher/payload/saved_state_win.h"

#include <windows.h>

#include <stdio.h>

#include "launcher/app/launcher_state_win.h"
#include "launcher/app/wide_win.h"
#include "launcher/payload/files_win.h"
#include "launcher/payload/saved_state.h"

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

void ReadSavedState(LauncherState& state) {
  std::wstring path = ToWide(SavedStatePath(FromWide(state.exePath)));
  uint32_t settingsMagic = state.settings.settingsMagic();
  if (!IsValidSavedState(path, settingsMagic)) return;

  ScopedFile file(path);
  if (!file.get()) return;
  int64_t size = file.Size();
  if (size <= 0) return;
  std::string bytes(static_cast<size_t>(size), '\0');
  if (fread(bytes.data(), bytes.size(), 1, file.get()) != 1) return;

  // The file may have changed since it was validated: the parse checks it again.
  auto saved = ParseSavedState(bytes, settingsMagic);
  if (!saved) return;
  state.settingsBlob = std::move(saved->settings);
  ParseAppSettings(state.settingsBlob, state.settings);
  state.workbookData = std::move(saved->workbook);
}
