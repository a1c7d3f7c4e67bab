#include "ui_test_support_win.h"

UiThread::UiThread(std::function<void()> body) : body_(std::move(body)) {
  thread_ = CreateThread(nullptr, 0, Run, this, 0, &id_);
}

UiThread::~UiThread() {
  if (!thread_) return;
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
}

DWORD WINAPI UiThread::Run(LPVOID self) {
  static_cast<UiThread*>(self)->body_();
  return 0;
}

bool UiThread::WaitForEnd(DWORD timeoutMs) { return WaitForSingleObject(thread_, timeoutMs) == WAIT_OBJECT_0; }

namespace {

struct ThreadWindowSearch {
  std::wstring className;
  HWND found = nullptr;
};

BOOL CALLBACK MatchThreadWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<ThreadWindowSearch*>(context);
  wchar_t className[256] = {};
  GetClassNameW(window, className, 256);
  if (search->className == className && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM context) {
  auto* children = reinterpret_cast<std::vector<ChildWindow>*>(context);
  HWND parent = GetParent(child);
  ChildWindow info;
  info.window = child;
  wchar_t className[256] = {};
  GetClassNameW(child, className, 256);
  info.className = className;
  info.id = GetDlgCtrlID(child);
  info.text = TextOf(child);
  GetWindowRect(child, &info.rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&info.rect), 2);
  info.style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
  info.exStyle = static_cast<DWORD>(GetWindowLongW(child, GWL_EXSTYLE));
  children->push_back(info);
  return TRUE;
}

}  // namespace

HWND WaitForThreadWindow(DWORD threadId, const std::wstring& className, DWORD timeoutMs) {
  for (DWORD waited = 0; waited <= timeoutMs; waited += 50) {
    ThreadWindowSearch search{className};
    EnumThreadWindows(threadId, MatchThreadWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    Sleep(50);
  }
  return nullptr;
}

std::vector<ChildWindow> ChildrenOf(HWND parent) {
  std::vector<ChildWindow> all;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&all));
  std::vector<ChildWindow> direct;
  for (const ChildWindow& child : all) {
    if (GetParent(child.window) == parent) direct.push_back(child);
  }
  return direct;
}

const ChildWindow* FindChild(const std::vector<ChildWindow>& children, const std::wstring& className, int id) {
  for (const ChildWindow& child : children) {
    if (lstrcmpiW(child.className.c_str(), className.c_str()) == 0 && child.id == id) return &child;
  }
  return nullptr;
}

std::wstring TextOf(HWND window) {
  int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return text;
}

int WidthOf(const RECT& rect) { return rect.right - rect.left; }
int HeightOf(const RECT& rect) { return rect.bottom - rect.top; }
