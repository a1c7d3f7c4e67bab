#include "testkit/driver/window_report_win.h"

#include <string>

#include "testkit/common/journal_win.h"
#include "testkit/driver/icon_probe_win.h"

namespace {

constexpr UINT kAnswerTimeoutMs = 1000;
constexpr wchar_t kDialogClass[] = L"#32770";

std::wstring ClassName(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

struct ChildReport {
  Journal* journal;
  HWND parent;
};

BOOL CALLBACK ReportChild(HWND child, LPARAM context) {
  auto* report = reinterpret_cast<ChildReport*>(context);
  RECT rect{};
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, report->parent, reinterpret_cast<POINT*>(&rect), 2);
  report->journal->Write("child " + QuoteText(std::wstring_view(ClassName(child))) + " " +
                         std::to_string(GetDlgCtrlID(child)) + " " + QuoteText(std::wstring_view(WindowText(child))) +
                         " " + std::to_string(rect.left) + " " + std::to_string(rect.top) + " " +
                         std::to_string(rect.right - rect.left) + " " + std::to_string(rect.bottom - rect.top));
  return TRUE;
}

}  // namespace

std::wstring WindowText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &length)) return L"";
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                           kAnswerTimeoutMs, &copied)) {
    return L"";
  }
  text.resize(copied < length ? copied : length);
  return text;
}

void ReportWindow(Journal& journal, HWND window) {
  std::wstring className = ClassName(window);
  journal.Write("window " + QuoteText(std::wstring_view(className)) + " " +
                QuoteText(std::wstring_view(WindowText(window))));
  RECT rect{};
  GetWindowRect(window, &rect);
  journal.Write("rect " + std::to_string(rect.left) + " " + std::to_string(rect.top) + " " +
                std::to_string(rect.right - rect.left) + " " + std::to_string(rect.bottom - rect.top));
  // A window may be owned by a window of another process (a box owned by the host's window).
  if (HWND owner = GetWindow(window, GW_OWNER)) {
    journal.Write("owner " + QuoteText(std::wstring_view(ClassName(owner))) + " " +
                  QuoteText(std::wstring_view(WindowText(owner))));
  }
  ChildReport report{&journal, window};
  EnumChildWindows(window, ReportChild, reinterpret_cast<LPARAM>(&report));
  if (className == kDialogClass) journal.Write(std::string("icon ") + ProbeDialogIcon(window));
}
