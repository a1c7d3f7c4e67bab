#pragma once
// Where the splash window goes and where its picture goes inside it: the picture at
// its own size, kept within 80 % of the screen and at least 400 pixels wide, centred.
// All values in pixels; every conversion to a whole pixel truncates toward zero.
#include <string>
#include <string_view>

struct PixelRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const PixelRect& other) const {
    return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
  }
};

constexpr int kSplashMinimumWidth = 400;
constexpr int kSplashBlankHeight = 247;  // the height of a splash without a picture

struct SplashInput {
  int pictureWidth = 0;   // 0 x 0: no picture
  int pictureHeight = 0;
  int frameWidth = 0;     // window size minus client size
  int frameHeight = 0;
  int screenWidth = 0;
  int screenHeight = 0;
};

// The picture's width over its height; 0 without a usable picture.
double SplashAspectRatio(int pictureWidth, int pictureHeight);

// The window rectangle in screen coordinates. Without a picture the window keeps its
// blank 400 x 247 size (the aspect rules would divide by a zero ratio), centred.
PixelRect SplashWindowRect(const SplashInput& input);

// The picture's rectangle in the client area: the whole client area, or, when that is
// narrower than 400, the picture at the client height with its aspect ratio, centred.
PixelRect SplashPictureRect(int clientWidth, int clientHeight, double aspectRatio);

// The bytes of a splash item to decode: a container is unpacked, plain bytes are taken
// as they are. Empty when there is nothing to show (10 bytes or fewer, or a container
// that does not unpack).
std::string SplashPictureBytes(std::string_view item);
