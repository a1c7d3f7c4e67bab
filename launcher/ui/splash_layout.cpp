#include "launcher/ui/splash_layout.h"

#include <limits>

#include "core/payload/packed_item.h"

namespace {

// Whole pixels are taken toward zero; a value beyond the int range (a picture of
// absurd proportions) is held at its limit instead of overflowing.
int Truncate(double value) {
  if (value >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  if (value <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  return static_cast<int>(value);
}

}  // namespace

double SplashAspectRatio(int pictureWidth, int pictureHeight) {
  if (pictureWidth <= 0 || pictureHeight <= 0) return 0;
  return static_cast<double>(pictureWidth) / pictureHeight;
}

PixelRect SplashWindowRect(const SplashInput& input) {
  const double ratio = SplashAspectRatio(input.pictureWidth, input.pictureHeight);
  int width = kSplashMinimumWidth;
  int height = kSplashBlankHeight;
  if (ratio > 0) {
    width = input.pictureWidth + input.frameWidth;
    height = input.pictureHeight + input.frameHeight;
    const int screenWidth = input.screenWidth;
    const int screenHeight = input.screenHeight;
    if (height > 0.8 * screenHeight) {
      height = screenHeight - Truncate(0.2 * screenHeight);
      width = Truncate(height * ratio);
    }
    if (width < kSplashMinimumWidth) {
      width = kSplashMinimumWidth;
    } else if (width > 0.8 * screenWidth) {
      width = screenWidth - Truncate(0.2 * screenWidth);
      height = Truncate(width / ratio);
    }
  }
  PixelRect rect;
  rect.left = Truncate(0.5 * input.screenWidth - 0.5 * width);
  rect.top = Truncate(0.5 * input.screenHeight - 0.5 * height);
  rect.right = rect.left + width;
  rect.bottom = rect.top + height;
  return rect;
}

PixelRect SplashPictureRect(int clientWidth, int clientHeight, double aspectRatio) {
  PixelRect rect{0, 0, clientWidth, clientHeight};
  if (clientWidth >= kSplashMinimumWidth) return rect;
  const int pictureWidth = Truncate(clientHeight * aspectRatio);
  rect.left = Truncate(0.5 * clientWidth - 0.5 * pictureWidth);
  rect.right = rect.left + pictureWidth;
  return rect;
}

std::string SplashPictureBytes(std::string_view item) {
  if (item.size() <= 10) return {};
  if (!HasContainerMagic(item)) return std::string(item);
  std::string unpacked;
  if (!UnpackContainer(item, unpacked)) return {};
  return unpacked;
}
