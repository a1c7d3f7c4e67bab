// The start notice's layout numbers: text box height, buttons from the right, and the
// window width between what the buttons need and two thirds of the screen.
#include "launcher/ui/notice_layout.h"

#include <gtest/gtest.h>

namespace {

constexpr int kSign = 32;

TEST(NoticeLayout, TextBoxStartsRightOfTheSign) {
  EXPECT_EQ(NoticeTextLeft(kSign), 57);
  EXPECT_EQ(NoticeTextLeft(0), 15);
}

TEST(NoticeLayout, TextBoxBottom) {
  struct Case {
    const char* name;
    int lines;
    bool rtf;
    int sign;
    int bottom;
  };
  const Case cases[] = {
      {"two lines are raised to the sign's height plus 20", 2, false, kSign, 52},
      {"two lines without a sign", 2, false, 0, 45},
      {"five lines", 5, false, kSign, 90},
      {"ten lines are still counted", 10, false, kSign, 165},
      {"eleven lines make the tall box", 11, false, kSign, 214},
      {"rtf makes the tall box whatever its length", 1, true, kSign, 214},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // 473 wide: the box of a 550-pixel dialog beside the sign; 473 / 2.2 is just under 215.
    EXPECT_EQ(NoticeTextBottom(c.lines, c.rtf, 57, 530, c.sign), c.bottom);
  }
}

TEST(NoticeLayout, WindowHeightLeavesRoomForTheButtons) {
  EXPECT_EQ(NoticeWindowHeight(52, 25), 52 + 46 + 25);
}

TEST(NoticeLayout, ButtonsAreAtLeast75WideAndGrowWithTheirCaptions) {
  EXPECT_EQ(NoticeButtonWidths({40, 63, 64, 200}, 12), (std::vector<int>{75, 75, 76, 212}));
}

TEST(NoticeLayout, ButtonsArePlacedFromTheRightInListOrder) {
  // The decline button comes first in the list and so stands rightmost.
  const std::vector<PixelRect> rects = PlaceNoticeButtons({75, 112}, 544, 125);
  ASSERT_EQ(rects.size(), 2u);
  EXPECT_EQ(rects[0], (PixelRect{462, 89, 537, 115}));
  EXPECT_EQ(rects[1], (PixelRect{341, 89, 453, 115}));
  EXPECT_EQ(NoticeButtonsWidth({75, 112}), 75 + 9 + 112);
  EXPECT_EQ(NoticeButtonsWidth({}), 0);
}

TEST(NoticeLayout, WindowWidthFitsTheButtonsWithinTwoThirdsOfTheScreen) {
  struct Case {
    const char* name;
    int width;
    int buttons;
    int width_after;
  };
  // Screen 1024 wide: the limit is 682.67, edges of 2 pixels.
  const Case cases[] = {
      {"the usual buttons fit", 550, 159, 550},
      {"wide buttons widen the window", 550, 600, 618},
      {"but never beyond the limit", 550, 700, 682},
      {"a window beyond the limit is narrowed", 800, 159, 682},
      {"a narrow window grows to what the buttons need", 150, 159, 177},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(NoticeWindowWidth(c.width, c.buttons, 2, 1024), c.width_after);
  }
}

TEST(NoticeLayout, TextBoxKeepsItsRightMarginWhenTheWindowIsResized) {
  EXPECT_EQ(NoticeTextWidth(676, kSign), 676 - 57 - 10);
  EXPECT_EQ(NoticeTextWidth(676, 0), 676 - 15 - 10);
}

}  // namespace
