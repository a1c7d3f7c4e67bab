#pragma once
// The splash window: the packaged picture (item 1050) centred on the screen, on a
// thread of its own so that it stays responsive while the main thread waits in
// automation calls. The main thread steers it only with thread messages 1281 and
// 1282; a click or a key press closes it too.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <string_view>

#include "core/win/scoped_win.h"
#include "launcher/ui/window_impl_win.h"

class CSplashWindow;

// The child that renders the picture, stretched over its whole client area.
class CSplashPicture : public CWindowImpl<CSplashPicture> {
 public:
  explicit CSplashPicture(CSplashWindow& splash) : splash_(splash) {}
  static const WindowClassSpec& ClassSpec();
  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

 private:
  CSplashWindow& splash_;
};

class CSplashWindow : public CWindowImpl<CSplashWindow> {
 public:
  explicit CSplashWindow(ComPtr<IPicture> picture) : picture_(std::move(picture)), pictureChild_(*this) {}
  static const WindowClassSpec& ClassSpec();

  // Creates the window, sized and placed for the picture; null when that fails.
  HWND Create();
  // Destroys the picture and the window, while the whole object still exists: left to
  // the base class's destructor, the window would be destroyed after this class's
  // members, and its last messages (WM_ERASEBKGND for the picture's place, WM_DESTROY,
  // WM_NCDESTROY) would reach a half-destroyed object.
  void Destroy();

  IPicture* Picture() const { return picture_.Get(); }

  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

 private:
  void OnCreate();
  bool PictureFillsWidth() const;

  ComPtr<IPicture> picture_;
  CSplashPicture pictureChild_;
  ScopedGdiObject<HBRUSH> whiteBrush_;
  RECT windowRect_ = {};
  RECT clientRect_ = {};
};

// Decodes picture bytes (JPEG, or any format OleLoadPicture reads); null when there
// are none or they do not decode.
ComPtr<IPicture> LoadSplashPicture(std::string_view bytes);

// Shows the splash with this picture (or blank) and runs its loop until it closes.
void RunSplash(ComPtr<IPicture> picture);

// The splash thread: creates its message queue and, when `ready` (an event handle the
// thread takes over) is given, signals it and closes it; then reads item 1050 and runs
// the splash. Returns 1.
DWORD WINAPI SplashThread(LPVOID ready);

// How long the launcher waits for the splash thread's message queue at most.
constexpr DWORD kSplashQueueWaitMs = 3000;

// Starts the splash thread and waits until its message queue exists (or the thread has
// ended, or kSplashQueueWaitMs have passed), so that the thread messages posted to it
// from then on are kept: a message posted to a thread without a queue is lost. False,
// with `thread` null and `threadId` 0, when the thread cannot be started.
bool StartSplashThread(ScopedHandle& thread, DWORD& threadId);
