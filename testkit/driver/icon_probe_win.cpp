#include "testkit/driver/icon_probe_win.h"

#include <cstdlib>
#include <vector>

namespace {

constexpr double kMatchThreshold = 0.9;  // share of covered pixels that must agree
constexpr int kColourTolerance = 24;     // per channel: the screen may round colours

struct StandardIcon {
  LPCWSTR id;
  const char* name;
};

const StandardIcon kStandardIcons[] = {
    {IDI_HAND, "error"}, {IDI_QUESTION, "question"}, {IDI_EXCLAMATION, "warning"}, {IDI_ASTERISK, "information"}};

// A top-down 32-bit bitmap of width x height whose pixels can be read directly.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&pixels_), nullptr, 0);
    if (bitmap_) old_ = SelectObject(dc_, bitmap_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  ~Canvas() {
    if (old_) SelectObject(dc_, old_);
    if (bitmap_) DeleteObject(bitmap_);
    DeleteDC(dc_);
  }

  bool Valid() const { return pixels_ != nullptr; }
  HDC Dc() const { return dc_; }
  void Fill(COLORREF colour) {
    GdiFlush();
    DWORD bgr = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    for (int i = 0; i < width_ * height_; ++i) pixels_[i] = bgr;
  }
  DWORD Pixel(int i) const { return pixels_[i] & 0xFFFFFF; }
  int Size() const { return width_ * height_; }

 private:
  int width_;
  int height_;
  HDC dc_;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  DWORD* pixels_ = nullptr;
};

bool Close(DWORD a, DWORD b) {
  for (int shift = 0; shift < 24; shift += 8) {
    if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > kColourTolerance) {
      return false;
    }
  }
  return true;
}

// The share of the icon's opaque pixels (those that come out alike on black and on white)
// that the screen shows in the icon's colour.
double MatchScore(const Canvas& screen, HICON icon, int width, int height) {
  Canvas onBlack(width, height);
  Canvas onWhite(width, height);
  if (!onBlack.Valid() || !onWhite.Valid()) return 0;
  onBlack.Fill(RGB(0, 0, 0));
  onWhite.Fill(RGB(255, 255, 255));
  DrawIconEx(onBlack.Dc(), 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
  DrawIconEx(onWhite.Dc(), 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
  GdiFlush();
  int covered = 0;
  int agreeing = 0;
  for (int i = 0; i < screen.Size(); ++i) {
    if (onBlack.Pixel(i) != onWhite.Pixel(i)) continue;
    ++covered;
    if (Close(onBlack.Pixel(i), screen.Pixel(i))) ++agreeing;
  }
  return covered ? static_cast<double>(agreeing) / covered : 0;
}

struct IconControlSearch {
  HWND found = nullptr;
};

BOOL CALLBACK FindIconControl(HWND child, LPARAM context) {
  wchar_t className[64] = {};
  GetClassNameW(child, className, 64);
  LONG style = GetWindowLongW(child, GWL_STYLE);
  if (lstrcmpiW(className, L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child)) {
    reinterpret_cast<IconControlSearch*>(context)->found = child;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

const char* ProbeDialogIcon(HWND dialog) {
  IconControlSearch search;
  EnumChildWindows(dialog, FindIconControl, reinterpret_cast<LPARAM>(&search));
  if (!search.found) return "none";
  // The handle means nothing here, but whether there is one does.
  DWORD_PTR icon = 0;
  if (SendMessageTimeoutW(search.found, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 1000, &icon) && !icon) return "none";

  RECT rect{};
  GetWindowRect(search.found, &rect);
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return "none";
  Canvas screen(width, height);
  if (!screen.Valid()) return "unknown";
  HDC screenDc = GetDC(nullptr);
  BitBlt(screen.Dc(), 0, 0, width, height, screenDc, rect.left, rect.top, SRCCOPY);
  ReleaseDC(nullptr, screenDc);
  GdiFlush();

  const char* best = "unknown";
  double bestScore = kMatchThreshold;
  for (const StandardIcon& candidate : kStandardIcons) {
    HICON icon = LoadIconW(nullptr, candidate.id);
    if (!icon) continue;
    double score = MatchScore(screen, icon, width, height);
    if (score >= bestScore) {
      bestScore = score;
      best = candidate.name;
    }
  }
  return best;
}
