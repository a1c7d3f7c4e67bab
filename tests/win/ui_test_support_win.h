#pragma once
// Helpers for the dialog tests: a modal dialog runs on a thread of its own while the
// test thread finds its windows, reads them and plays the user.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Runs `body` on a new thread; the destructor waits for it to end.
class UiThread {
 public:
  explicit UiThread(std::function<void()> body);
  ~UiThread();
  UiThread(const UiThread&) = delete;
  UiThread& operator=(const UiThread&) = delete;

  DWORD Id() const { return id_; }
  // True when the thread has ended within `timeoutMs`.
  bool WaitForEnd(DWORD timeoutMs);

 private:
  static DWORD WINAPI Run(LPVOID self);
  std::function<void()> body_;
  HANDLE thread_ = nullptr;
  DWORD id_ = 0;
};

// The first visible top-level window of the thread with that class, waited for.
HWND WaitForThreadWindow(DWORD threadId, const std::wstring& className, DWORD timeoutMs = 10000);

struct ChildWindow {
  HWND window = nullptr;
  std::wstring className;
  int id = 0;
  std::wstring text;
  RECT rect = {};  // in the parent's client coordinates
  DWORD style = 0;
  DWORD exStyle = 0;
};

// The direct children of a window, in creation order.
std::vector<ChildWindow> ChildrenOf(HWND parent);
const ChildWindow* FindChild(const std::vector<ChildWindow>& children, const std::wstring& className, int id);

std::wstring TextOf(HWND window);
int WidthOf(const RECT& rect);
int HeightOf(const RECT& rect);
