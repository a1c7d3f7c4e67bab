// Where the splash window and its picture go, for pictures of every shape against the
// screen, and which bytes of item 1050 are decoded at all.
#include "launcher/ui/splash_layout.h"

#include <gtest/gtest.h>

#include "core/payload/packed_item.h"

namespace {

struct SplashCase {
  const char* name;
  int pictureWidth;
  int pictureHeight;
  int screenWidth;
  int screenHeight;
  PixelRect window;   // screen coordinates
  PixelRect picture;  // client coordinates
};

// A WS_BORDER popup: one pixel of frame on every side.
constexpr int kFrame = 2;

const SplashCase kCases[] = {
    // Fits as it is: its own size, centred.
    {"fits", 600, 400, 1024, 768, {211, 183, 813, 585}, {0, 0, 600, 400}},
    // Wider than 80 % of the screen: 80 % wide, the height follows the aspect ratio.
    {"wide", 1200, 300, 1024, 768, {102, 281, 922, 486}, {0, 0, 818, 203}},
    // Taller than 80 %: the height becomes the screen less 20 % of it, the width follows
    // (205) and is then raised to 400, so the picture is centred between white strips.
    {"tall", 300, 900, 1024, 768, {312, 76, 712, 691}, {97, 0, 301, 613}},
    // Smaller than 400 wide: the window is 400 wide, the picture keeps 3:2 in the middle.
    {"small", 300, 200, 1024, 768, {312, 283, 712, 485}, {49, 0, 349, 200}},
    // Too tall and too wide: both limits apply, one after the other.
    {"huge", 2000, 1500, 1024, 768, {102, 76, 922, 691}, {0, 0, 818, 613}},
    {"full hd on sxga", 1920, 1080, 1280, 1024, {128, 224, 1152, 800}, {0, 0, 1022, 574}},
    // One pixel short of the minimum: the client is 399 wide and the picture fills it.
    {"just narrower", 399, 100, 1024, 768, {311, 333, 712, 435}, {0, 0, 399, 100}},
    // No picture: blank 400 x 247, a zero-width picture in the middle.
    {"no picture", 0, 0, 1024, 768, {312, 260, 712, 507}, {199, 0, 199, 245}},
    // No picture on a screen under 500 wide, where the width rule would divide by the
    // zero aspect ratio: still 400 x 247.
    {"no picture, small screen", 0, 0, 480, 300, {40, 26, 440, 273}, {199, 0, 199, 245}},
    // A picture with no height has no aspect ratio either.
    {"zero height", 300, 0, 1024, 768, {312, 260, 712, 507}, {199, 0, 199, 245}},
};

TEST(SplashLayout, WindowAndPictureRectangles) {
  for (const SplashCase& c : kCases) {
    SCOPED_TRACE(c.name);
    SplashInput input{c.pictureWidth, c.pictureHeight, kFrame, kFrame, c.screenWidth, c.screenHeight};
    const PixelRect window = SplashWindowRect(input);
    EXPECT_EQ(window, c.window) << window.left << "," << window.top << "," << window.right << "," << window.bottom;
    const PixelRect picture = SplashPictureRect(window.Width() - kFrame, window.Height() - kFrame,
                                                SplashAspectRatio(c.pictureWidth, c.pictureHeight));
    EXPECT_EQ(picture, c.picture) << picture.left << "," << picture.top << "," << picture.right << ","
                                  << picture.bottom;
  }
}

TEST(SplashLayout, PictureBytesNeedMoreThanTenBytesAndUnpackContainers) {
  EXPECT_EQ(SplashPictureBytes(""), "");
  EXPECT_EQ(SplashPictureBytes("0123456789"), "");
  EXPECT_EQ(SplashPictureBytes("0123456789A"), "0123456789A");

  const std::string jpeg = "\xFF\xD8\xFF\xE0 a picture of some length";
  EXPECT_EQ(SplashPictureBytes(PackItem(jpeg)), jpeg);

  std::string broken = PackItem(jpeg);
  broken.resize(broken.size() - 4);
  EXPECT_EQ(SplashPictureBytes(broken), "") << "a container that does not unpack is no picture";
}

}  // namespace
