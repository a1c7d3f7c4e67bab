#include "runtime/workbook_follow_win.h"

#include <windows.h>

#include "core/host/com_error_win.h"
#include "core/host/host_ops_win.h"
#include "core/text/message_texts.h"
#include "core/win/wide_win.h"
#include "runtime/runtime_state_win.h"
#include "runtime/state_saving_win.h"

namespace {

constexpr HRESULT kHostBusy = static_cast<HRESULT>(0x800AC472);

bool SameText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

// The extension of a path or web address, with its dot; empty when the last name has none.
std::wstring Extension(const std::wstring& name) {
  size_t last = name.find_last_of(L"\\/");
  size_t dot = name.find_last_of(L'.');
  if (dot == std::wstring::npos || (last != std::wstring::npos && dot < last)) return std::wstring();
  return name.substr(dot);
}

bool IsWebAddress(const std::wstring& name) { return name.find(L"://") != std::wstring::npos; }

// A drive path (C:\...) or a network one (\\server\share\...).
bool IsFilePath(const std::wstring& name) {
  return (name.size() > 2 && name[1] == L':' && (name[2] == L'\\' || name[2] == L'/')) ||
         name.rfind(L"\\\\", 0) == 0;
}

void TellOtherFormat(RuntimeState& state, const std::wstring& name) {
  if (state.toldOtherFormat || state.silentStart != 0) return;
  state.toldOtherFormat = true;
  TellUser(state, ToWide(GetText(TextId::kSavedInOtherFormat)) + L"\n\n" + name, MB_ICONWARNING);
}

}  // namespace

void FollowWorkbook(RuntimeState& state, bool saved) {
  if (!SavesState(state) || !state.workbook) return;
  std::wstring name;
  try {
    name = GetWorkbookFullName(state.workbook.Get());
  } catch (const _com_error& error) {
    if (error.Error() == kHostBusy) throw;
    return;
  }
  const bool moved = !SameText(name, state.hostName);
  const bool justSaved = saved && !state.hostSaved;
  if (IsWebAddress(name) && (moved || justSaved) && SameText(Extension(name), Extension(state.workbookPath))) {
    // Not over the file the state's thread is reading: taken at a later look.
    if (state.saveThread) return;
    try {
      SaveWorkbookCopy(state.workbook.Get(), state.workbookPath);
      state.savedFrom = state.workbookPath;
    } catch (const _com_error& error) {
      // Taken again at the next look while the host is busy; a refused copy leaves the
      // state at the last save it holds.
      if (error.Error() == kHostBusy) throw;
    }
  }
  state.hostName = name;
  state.hostSaved = saved;
  if (!moved) return;
  if (!SameText(Extension(name), Extension(state.workbookPath))) {
    TellOtherFormat(state, name);
  } else if (IsFilePath(name)) {
    // A Save As is a save: the next look writes the state from the new file.
    state.savedFrom = name;
    state.workbookStamp = 0;
    state.workbookSize = 0;
  }
}
