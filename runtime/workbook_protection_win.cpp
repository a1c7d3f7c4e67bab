#include "runtime/workbook_protection_win.h"

#include <windows.h>

#include "core/host/com_error_win.h"
#include "core/host/host_ops_win.h"
#include "core/text/message_texts.h"
#include "core/win/wide_win.h"
#include "runtime/runtime_state_win.h"
#include "runtime/workbook_key_win.h"

namespace {

constexpr HRESULT kHostBusy = static_cast<HRESULT>(0x800AC472);
constexpr HRESULT kObjectGone = static_cast<HRESULT>(0x800A01A8);  // the workbook was closed meanwhile

void Tell(const RuntimeState& state, int text, UINT icon) {
  if (state.silentStart == 0) TellUser(state, ToWide(GetText(text)), icon);
}

}  // namespace

bool KeepWorkbookProtected(RuntimeState& state, bool atEnd) {
  int told = TextId::kPlainLastSaveRefused;
  if (!atEnd && state.phase == RuntimePhase::kRunning && state.workbook) {
    std::wstring password = ReadWorkbookPassword(state.launcherPath);
    told = TextId::kPlainSaveRefused;
    try {
      if (!password.empty()) {
        SetWorkbookPassword(state.workbook.Get(), password);
        SaveWorkbook(state.workbook.Get());
        told = TextId::kPasswordPutBack;
      }
    } catch (const _com_error& error) {
      if (error.Error() == kObjectGone) told = TextId::kPlainLastSaveRefused;
      if (error.Error() == kHostBusy) told = 0;
    }
    SecureZeroMemory(password.data(), password.size() * sizeof(wchar_t));
  }
  if (told == 0) return false;
  Tell(state, told, told == TextId::kPasswordPutBack ? MB_ICONINFORMATION : MB_ICONWARNING);
  return true;
}
