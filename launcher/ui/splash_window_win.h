#pragma once
// The splash window: the packaged picture (item 1050) centred on the screen, on a
// thread of its own so that it stays responsive while the main thread waits in
// automation calls. The main thread steers it only with thread messages 1281 and
// 1282; a click or a key press closes it too.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <string_view>

#include "launcher/app/scoped_win.h"
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

// The splash thread: reads item 1050 and runs the splash. Returns 1.
DWORD WINAPI SplashThread(LPVOID);
