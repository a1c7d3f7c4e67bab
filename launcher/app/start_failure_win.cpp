#include "launcher/app/start_failure_win.h"

#include <windows.h>

#include "core/encoding/utf.h"
#include "core/text/message_texts.h"
#include "core/win/wide_win.h"
#include "launcher/base/launcher_state_win.h"

namespace {

struct Diagnosis {
  int overrideKey;
  int textId;
};

Diagnosis DiagnosisOf(AddInStart seen) {
  switch (seen) {
    case AddInStart::kLoaderStayedOpen:
      return {OverrideKey::kMacrosBlocked, TextId::kMacrosBlocked};
    case AddInStart::kOpenRefused:
      return {OverrideKey::kLoaderFileBlocked, TextId::kLoaderFileBlocked};
    case AddInStart::kHostEnded:
      return {OverrideKey::kHostEndedByScan, TextId::kHostEndedByScan};
    default:
      return {OverrideKey::kAddInBlocked, TextId::kAddInBlocked};
  }
}

// Writes the text as UTF-8 to the standard output, when there is one to write to.
void PrintLine(const std::wstring& text) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (!out || out == INVALID_HANDLE_VALUE) return;
  std::string bytes = Utf16ToUtf8(FromWide(text)) + "\n";
  DWORD written = 0;
  WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

StartFailureBox DescribeStartFailure(const StartSeen& seen) {
  const Diagnosis diagnosis = DiagnosisOf(seen.result);
  std::wstring text = MessageText(diagnosis.overrideKey, diagnosis.textId);
  if (seen.xllRefused) text += L"\n\n" + MessageText(OverrideKey::kXllRefused, TextId::kXllRefused);
  return {text, MessageText(OverrideKey::kWarningCaption, TextId::kWarningCaption)};
}

void TellStartFailure(const LauncherState& state, const StartFailureBox& box) {
  if (state.testFlag) PrintLine(box.text);
  MessageBoxW(nullptr, box.text.c_str(), box.caption.c_str(), MB_ICONWARNING);
}
