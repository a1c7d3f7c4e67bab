#include "runtime/state_failure_win.h"

#include <windows.h>

#include "core/payload/saved_state_carry_win.h"
#include "core/payload/saved_state_file_win.h"
#include "core/text/message_texts.h"
#include "core/win/wide_win.h"
#include "runtime/runtime_state_win.h"

namespace {

std::wstring Text(int id) { return ToWide(GetText(id)); }

}  // namespace

void TellStateNotWritten(const RuntimeState& state, const std::wstring& file, unsigned long error,
                         const std::string& stateBytes) {
  std::wstring text = Text(TextId::kStateNotSaved) + L"\n" + file + L"\n\n" + WindowsErrorText(error) + L"\n\n";
  const std::wstring target = state.savedStatePath.empty() ? file : state.savedStatePath;
  const std::wstring kept = stateBytes.empty() ? std::wstring() : WriteRecoveryState(target, stateBytes);
  if (!kept.empty()) {
    text += Text(TextId::kWorkKeptIn) + L"\n" + kept + L"\n\n" + Text(TextId::kWorkComesBack);
  } else {
    text += Text(TextId::kWorkKeptNowhere) + L"\n" + state.savedFrom;
  }
  TellUser(state, text, MB_ICONERROR);
}
