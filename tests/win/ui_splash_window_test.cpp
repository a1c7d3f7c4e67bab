// The splash window run in-process: size and place for pictures of every shape, the
// white strips beside a narrow picture, and when it closes.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "core/host/addin_messages.h"
#include "core/encoding/byte_io.h"
#include "launcher/ui/splash_window_win.h"
#include "ui_test_support_win.h"

namespace {

constexpr COLORREF kPictureColour = RGB(200, 40, 30);

// A 24-bit BMP file of one colour, which OleLoadPicture reads without any codec.
std::string BmpFile(int width, int height, COLORREF colour) {
  const int rowBytes = (width * 3 + 3) & ~3;
  const uint32_t pixelBytes = static_cast<uint32_t>(rowBytes * height);
  std::string bmp = "BM";
  AppendU32(bmp, 14 + 40 + pixelBytes);
  AppendU32(bmp, 0);
  AppendU32(bmp, 14 + 40);
  AppendU32(bmp, 40);
  AppendU32(bmp, static_cast<uint32_t>(width));
  AppendU32(bmp, static_cast<uint32_t>(height));
  AppendU16(bmp, 1);
  AppendU16(bmp, 24);
  AppendU32(bmp, 0);  // BI_RGB
  AppendU32(bmp, pixelBytes);
  AppendU32(bmp, 3780);  // 96 dots per inch
  AppendU32(bmp, 3780);
  AppendU32(bmp, 0);
  AppendU32(bmp, 0);
  std::string row;
  for (int x = 0; x < width; ++x) {
    row += static_cast<char>(GetBValue(colour));
    row += static_cast<char>(GetGValue(colour));
    row += static_cast<char>(GetRValue(colour));
  }
  row.resize(static_cast<size_t>(rowBytes), '\0');
  for (int y = 0; y < height; ++y) bmp += row;
  return bmp;
}

// One splash on a thread of its own; `width` x `height` 0 x 0 runs it without a picture.
struct SplashRun {
  SplashRun(int width, int height)
      : bytes(width > 0 ? BmpFile(width, height, kPictureColour) : std::string()),
        thread([this] {
          CoInitialize(nullptr);
          RunSplash(LoadSplashPicture(bytes));
          CoUninitialize();
        }) {}
  ~SplashRun() { PostThreadMessageW(thread.Id(), SplashMessage::kCloseNow, 0, 0); }
  HWND Window() { return WaitForThreadWindow(thread.Id(), L"SheetpackSplash"); }

  std::string bytes;
  UiThread thread;
};

bool ScreenIs1024By768() { return GetSystemMetrics(SM_CXSCREEN) == 1024 && GetSystemMetrics(SM_CYSCREEN) == 768; }

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Describe(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

TEST(SplashWindow, SizeAndPlaceForEachPictureOnA1024By768Screen) {
  if (!ScreenIs1024By768()) GTEST_SKIP() << "the figures are for a 1024 x 768 screen";
  struct Case {
    const char* name;
    int width;
    int height;
    RECT window;
    RECT picture;
  };
  const Case cases[] = {
      {"wide", 1200, 300, {102, 281, 922, 486}, {0, 0, 818, 203}},
      {"tall", 300, 900, {312, 76, 712, 691}, {97, 0, 301, 613}},
      {"small", 300, 200, {312, 283, 712, 485}, {49, 0, 349, 200}},
      {"no picture", 0, 0, {312, 260, 712, 507}, {199, 0, 199, 245}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SplashRun run(c.width, c.height);
    HWND splash = run.Window();
    ASSERT_NE(splash, nullptr);
    RECT window = {};
    GetWindowRect(splash, &window);
    EXPECT_TRUE(SameRect(window, c.window)) << Describe(window);
    EXPECT_TRUE(GetWindowLongW(splash, GWL_EXSTYLE) & WS_EX_TOPMOST);

    const std::vector<ChildWindow> children = ChildrenOf(splash);
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(children[0].className, L"SheetpackSplashPicture");
    EXPECT_TRUE(SameRect(children[0].rect, c.picture)) << Describe(children[0].rect);
  }
}

TEST(SplashWindow, NarrowPictureIsFlankedByWhiteStrips) {
  SplashRun run(300, 200);
  HWND splash = run.Window();
  ASSERT_NE(splash, nullptr);
  Sleep(500);  // a few rounds of the loop, each of which paints
  RECT client = {};
  GetClientRect(splash, &client);
  HDC dc = GetDC(splash);
  const COLORREF strip = GetPixel(dc, 10, client.bottom / 2);
  const COLORREF picture = GetPixel(dc, client.right / 2, client.bottom / 2);
  ReleaseDC(splash, dc);
  EXPECT_EQ(strip, RGB(255, 255, 255)) << std::hex << strip;
  EXPECT_EQ(picture, kPictureColour) << std::hex << picture;
}

TEST(SplashWindow, UnreadablePictureBytesGiveNoPicture) {
  EXPECT_FALSE(LoadSplashPicture(""));
  EXPECT_FALSE(LoadSplashPicture("this is not a picture of any kind"));
  EXPECT_TRUE(LoadSplashPicture(BmpFile(4, 4, kPictureColour)));
}

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// True when the window is hidden (closing) within the time. Its destruction may take
// longer: without a window manager, Wine waits up to two seconds for an unmapped
// window to be withdrawn.
bool HiddenWithin(HWND window, DWORD timeoutMs) {
  const Clock::time_point start = Clock::now();
  while (IsWindow(window) && IsWindowVisible(window)) {
    if (MsSince(start) > timeoutMs) return false;
    Sleep(20);
  }
  return true;
}

TEST(SplashWindow, CloseNowAClickOrAKeyCloseItAtOnce) {
  struct Case {
    const char* name;
    bool toThread;
    UINT message;
    WPARAM wParam;
  };
  const Case cases[] = {
      {"close now", true, SplashMessage::kCloseNow, 0},
      {"left click", false, WM_LBUTTONDOWN, MK_LBUTTON},
      {"right click", false, WM_RBUTTONUP, 0},
      {"key", false, WM_KEYDOWN, VK_SPACE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SplashRun run(300, 200);
    HWND splash = run.Window();
    ASSERT_NE(splash, nullptr);
    if (c.toThread) {
      PostThreadMessageW(run.thread.Id(), c.message, c.wParam, 0);
    } else {
      PostMessageW(splash, c.message, c.wParam, 0);
    }
    EXPECT_TRUE(HiddenWithin(splash, 500));
    EXPECT_TRUE(run.thread.WaitForEnd(4000));
    EXPECT_FALSE(IsWindow(splash));
  }
}

TEST(SplashWindow, FinishSoonAtThreeSecondsClosesAtAboutFive) {
  SplashRun run(300, 200);
  HWND splash = run.Window();
  ASSERT_NE(splash, nullptr);
  const Clock::time_point shown = Clock::now();
  Sleep(3000);
  PostThreadMessageW(run.thread.Id(), SplashMessage::kFinishSoon, 0, 0);
  EXPECT_TRUE(HiddenWithin(splash, 4500));
  const long long closedAfter = MsSince(shown);
  EXPECT_GE(closedAfter, 4700) << "not before five seconds";
  EXPECT_LE(closedAfter, 6500);
}

TEST(SplashThread, AMessagePostedRightAfterTheStartIsKept) {
  // The launcher posts "close now" at once when it refuses an old host: posted before
  // the thread's queue existed, it was lost, and the topmost splash stayed over the
  // warning box for up to a minute.
  for (int run = 0; run < 5; ++run) {
    SCOPED_TRACE(run);
    ScopedHandle thread;
    DWORD threadId = 0;
    ASSERT_TRUE(StartSplashThread(thread, threadId));
    ASSERT_NE(threadId, 0u);
    EXPECT_TRUE(PostThreadMessageW(threadId, SplashMessage::kCloseNow, 0, 0)) << GetLastError();
    EXPECT_EQ(WaitForSingleObject(thread.get(), 5000), WAIT_OBJECT_0) << "the splash did not close";
    if (WaitForSingleObject(thread.get(), 0) != WAIT_OBJECT_0) {
      PostThreadMessageW(threadId, SplashMessage::kCloseNow, 0, 0);
      WaitForSingleObject(thread.get(), 5000);
    }
  }
}

TEST(SplashWindow, FinishSoonAfterFiveSecondsClosesAtOnce) {
  SplashRun run(300, 200);
  HWND splash = run.Window();
  ASSERT_NE(splash, nullptr);
  Sleep(6000);
  ASSERT_TRUE(IsWindowVisible(splash)) << "still up without being told";
  PostThreadMessageW(run.thread.Id(), SplashMessage::kFinishSoon, 0, 0);
  EXPECT_TRUE(HiddenWithin(splash, 500));
}

}  // namespace
