#include "launcher/ui/splash_window_win.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/payload/item_ids.h"
#include "core/payload/resources_win.h"
#include "launcher/ui/splash_layout.h"
#include "launcher/ui/splash_timer.h"

namespace {

constexpr DWORD kSplashStyle = WS_POPUP | WS_VISIBLE | WS_BORDER;
constexpr DWORD kSplashExStyle = WS_EX_TOPMOST;
constexpr UINT kLastLoopMessage = 0x502;  // the loop takes messages 0 to 1282
constexpr int kHimetricPerInch = 2540;

// The picture's size in pixels of the window's device context.
SIZE PicturePixels(IPicture* picture, HWND window) {
  SIZE pixels = {};
  OLE_XSIZE_HIMETRIC width = 0;
  OLE_YSIZE_HIMETRIC height = 0;
  if (!picture || FAILED(picture->get_Width(&width)) || FAILED(picture->get_Height(&height))) return pixels;
  ScopedWindowDc dc(window);
  if (!dc.get()) return pixels;
  pixels.cx = MulDiv(width, GetDeviceCaps(dc.get(), LOGPIXELSX), kHimetricPerInch);
  pixels.cy = MulDiv(height, GetDeviceCaps(dc.get(), LOGPIXELSY), kHimetricPerInch);
  return pixels;
}

}  // namespace

const WindowClassSpec& CSplashPicture::ClassSpec() {
  static const WindowClassSpec classInfo{L"SheetpackSplashPicture", L"STATIC", 0, false};
  return classInfo;
}

bool CSplashPicture::ProcessWindowMessage(HWND window, UINT message, WPARAM, LPARAM, LRESULT& result) {
  if (message != WM_PAINT) return false;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  if (IPicture* picture = splash_.Picture()) {
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture->get_Width(&width);
    picture->get_Height(&height);
    RECT client = {};
    ::GetClientRect(window, &client);
    // The source starts at the bottom edge with a negative height: HIMETRIC runs
    // upwards, and this keeps the picture upright.
    picture->Render(dc, 0, 0, client.right, client.bottom, 0, height, width, -height, nullptr);
  }
  EndPaint(window, &paint);
  result = 0;
  return true;
}

const WindowClassSpec& CSplashWindow::ClassSpec() {
  static const WindowClassSpec classInfo{L"SheetpackSplash", nullptr, CS_DBLCLKS, true};
  return classInfo;
}

HWND CSplashWindow::Create() {
  RECT blank{0, 0, kSplashMinimumWidth, kSplashBlankHeight};
  return CWindowImpl<CSplashWindow>::Create(nullptr, blank, nullptr, kSplashStyle, kSplashExStyle);
}

bool CSplashWindow::PictureFillsWidth() const {
  RECT picture = {};
  if (pictureChild_.m_hWnd) ::GetClientRect(pictureChild_.m_hWnd, &picture);
  return picture.right - picture.left >= kSplashMinimumWidth;
}

bool CSplashWindow::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
  switch (message) {
    case WM_CREATE:
      OnCreate();
      result = 0;
      return true;
    case WM_ERASEBKGND:
      // Beside a narrow picture the strips are white; a full-width picture covers all.
      if (PictureFillsWidth()) return false;
      FillRect(reinterpret_cast<HDC>(wParam), &clientRect_, whiteBrush_.get());
      result = 1;
      return true;
    case WM_PAINT:
      // The own update region is left invalid on purpose: the paint requests that keep
      // coming are what drives the splash loop's clock.
      if (pictureChild_.m_hWnd) {
        RedrawWindow(pictureChild_.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
      }
      result = 1;
      return true;
    case WM_CTLCOLORSTATIC:
      result = reinterpret_cast<LRESULT>(whiteBrush_.get());
      return true;
    default:
      return false;
  }
}

void CSplashWindow::Destroy() {
  // The picture goes first, as the user sees it go at once (its strip of the screen is
  // erased white right away, while a top-level window may take a moment to vanish).
  if (pictureChild_.m_hWnd) DestroyWindow(pictureChild_.m_hWnd);
  if (m_hWnd) DestroyWindow(m_hWnd);
}

void CSplashWindow::OnCreate() {
  const RECT window = GetWindowRect();
  const RECT client = GetClientRect();
  SplashInput input;
  input.frameWidth = std::abs((window.right - window.left) - (client.right - client.left));
  input.frameHeight = std::abs((window.bottom - window.top) - (client.bottom - client.top));

  HDC screen = GetWindowDC(nullptr);
  whiteBrush_.reset(CreateSolidBrush(RGB(255, 255, 255)));
  const SIZE picture = PicturePixels(picture_.Get(), m_hWnd);
  input.pictureWidth = picture.cx;
  input.pictureHeight = picture.cy;
  input.screenWidth = GetDeviceCaps(screen, HORZRES);
  input.screenHeight = GetDeviceCaps(screen, VERTRES);

  const PixelRect placed = SplashWindowRect(input);
  MoveWindow(m_hWnd, placed.left, placed.top, placed.Width(), placed.Height(), TRUE);
  windowRect_ = RECT{placed.left, placed.top, placed.right, placed.bottom};
  clientRect_ = GetClientRect();

  const PixelRect area = SplashPictureRect(clientRect_.right - clientRect_.left, clientRect_.bottom - clientRect_.top,
                                           SplashAspectRatio(picture.cx, picture.cy));
  pictureChild_.Create(m_hWnd, RECT{area.left, area.top, area.right, area.bottom}, L"", WS_CHILD | WS_VISIBLE, 0);
  if (screen) ReleaseDC(nullptr, screen);
}

ComPtr<IPicture> LoadSplashPicture(std::string_view bytes) {
  ComPtr<IPicture> picture;
  if (bytes.empty()) return picture;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!block) return picture;
  void* data = GlobalLock(block);
  if (!data) {
    GlobalFree(block);
    return picture;
  }
  std::memcpy(data, bytes.data(), bytes.size());
  GlobalUnlock(block);

  ComPtr<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(block, TRUE, stream.Put()))) {
    GlobalFree(block);
    return picture;
  }
  void* loaded = nullptr;
  if (SUCCEEDED(OleLoadPicture(stream.Get(), static_cast<LONG>(bytes.size()), FALSE, IID_IPicture, &loaded))) {
    picture.Reset(static_cast<IPicture*>(loaded));
  }
  return picture;
}

void RunSplash(ComPtr<IPicture> picture) {
  CSplashWindow splash(std::move(picture));
  HWND window = splash.Create();
  if (window) {
    ShowWindow(window, SW_SHOW);
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
  }
  SplashTimer timer;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, kLastLoopMessage) > 0) {
    if (timer.ShouldClose(message.message)) break;
    // Only the splash's own messages are handled; the picture child is painted from
    // the splash's paint, and thread messages have no window.
    if (window && message.hwnd == window) DispatchMessageW(&message);
    // The pause between messages ends early for a click, a key or a thread message,
    // so that these are taken at once; paint requests and mouse moves do not shorten
    // it, so that the steps still count about 100 ms each.
    MsgWaitForMultipleObjectsEx(0, nullptr, kSplashStepMs, QS_KEY | QS_MOUSEBUTTON | QS_POSTMESSAGE, 0);
    timer.Step();
  }
  splash.Destroy();
}

DWORD WINAPI SplashThread(LPVOID ready) {
  // The queue exists from here on, so messages posted to the thread are kept; the
  // launcher waits for this signal before it posts anything.
  MSG message;
  PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
  if (ready) {
    SetEvent(static_cast<HANDLE>(ready));
    CloseHandle(static_cast<HANDLE>(ready));
  }
  try {
    HRESULT com = CoInitialize(nullptr);
    {
      std::string item;
      LoadPackedItem(ItemId::kSplash, item);
      RunSplash(LoadSplashPicture(SplashPictureBytes(item)));
    }
    if (SUCCEEDED(com)) CoUninitialize();
  } catch (...) {
    // The splash is a courtesy: whatever fails, the launch goes on without it.
  }
  return 1;
}

bool StartSplashThread(ScopedHandle& thread, DWORD& threadId) {
  threadId = 0;
  // The thread gets a handle of its own to the event, so that a late signal never
  // meets a handle the launcher has closed after its wait ran out.
  ScopedHandle ready(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE threadsCopy = nullptr;
  if (ready && !DuplicateHandle(GetCurrentProcess(), ready.get(), GetCurrentProcess(), &threadsCopy, 0, FALSE,
                                DUPLICATE_SAME_ACCESS)) {
    threadsCopy = nullptr;
  }
  DWORD id = 0;
  thread.reset(CreateThread(nullptr, 0, SplashThread, threadsCopy, 0, &id));
  if (!thread) {
    if (threadsCopy) CloseHandle(threadsCopy);
    return false;
  }
  threadId = id;
  if (threadsCopy) {
    const HANDLE waits[] = {ready.get(), thread.get()};
    WaitForMultipleObjects(2, waits, FALSE, kSplashQueueWaitMs);
  }
  return true;
}
