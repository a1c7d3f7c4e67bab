#include "launcher/ui/notice_layout.h"

#include <algorithm>

int NoticeTextLeft(int signWidth) { return signWidth > 0 ? signWidth + kNoticeSignGap : kNoticeMargin; }

int NoticeTextBottom(int lineCount, bool rtf, int left, int right, int signHeight) {
  if (lineCount > 10 || rtf) return static_cast<int>((right - left) / 2.2);
  return std::max((lineCount + 1) * 15, signHeight + 20);
}

int NoticeWindowHeight(int textBottom, int frameHeight) { return textBottom + kNoticeBelowText + frameHeight; }

std::vector<int> NoticeButtonWidths(const std::vector<int>& textWidths, int pad) {
  std::vector<int> widths;
  for (int text : textWidths) widths.push_back(text + pad > kNoticeButtonMinWidth ? text + pad : kNoticeButtonMinWidth);
  return widths;
}

std::vector<PixelRect> PlaceNoticeButtons(const std::vector<int>& widths, int clientRight, int bottomEdge) {
  std::vector<PixelRect> rects;
  int right = clientRight - kNoticeButtonRightMargin;
  for (int width : widths) {
    rects.push_back(PixelRect{right - width, bottomEdge - 36, right, bottomEdge - 10});
    right -= width + kNoticeButtonGap;
  }
  return rects;
}

int NoticeButtonsWidth(const std::vector<int>& widths) {
  int total = 0;
  for (int width : widths) total += width;
  if (!widths.empty()) total += kNoticeButtonGap * static_cast<int>(widths.size() - 1);
  return total;
}

int NoticeWindowWidth(int currentWidth, int buttonsWidth, int edgeWidth, int fullScreenWidth) {
  const double limit = 2.0 / 3.0 * fullScreenWidth;
  const int need = buttonsWidth + 14 + 2 * edgeWidth;
  if (currentWidth < need) return need > limit ? static_cast<int>(limit) : need;
  if (currentWidth > limit) return static_cast<int>(limit);
  return currentWidth;
}

int NoticeTextWidth(int clientWidth, int signWidth) {
  return clientWidth - NoticeTextLeft(signWidth) - kNoticeRightMargin;
}
