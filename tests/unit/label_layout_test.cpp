// Label stacking: how wide and how high a label becomes for its measured text.
#include "launcher/ui/label_layout.h"

#include <gtest/gtest.h>

namespace {

TEST(LabelLayout, SingleLineWidth) {
  struct Case {
    const char* name;
    LabelFont font;
    int measured;
    unsigned width;
  };
  const Case cases[] = {
      {"wider than the content: 0.9 of the measure", LabelFont::Medium, 400, 360},
      {"measured over 290 may end narrower than 290", LabelFont::Medium, 300, 270},
      {"narrower than the content keeps the content width", LabelFont::Medium, 200, 290},
      {"the title font gets 1.1", LabelFont::Title, 400, 440},
      {"the default font gets 0.9", LabelFont::Default, 333, 299},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(StackLabel(290, c.font, false, TextExtent{c.measured, 16}, 284).contentWidth, c.width);
  }
}

TEST(LabelLayout, HeightPerFont) {
  const TextExtent extent{100, 16};
  EXPECT_EQ(StackLabel(290, LabelFont::Title, false, extent, 284).height, 19);
  EXPECT_EQ(StackLabel(290, LabelFont::Default, false, extent, 284).height, 17);
  EXPECT_EQ(StackLabel(290, LabelFont::Medium, false, extent, 284).height, 15);
  EXPECT_EQ(StackLabel(290, LabelFont::Small, false, extent, 284).height, 12);
  EXPECT_EQ(StackLabel(290, LabelFont::Small, false, extent, 284).advance, 12);
}

TEST(LabelLayout, MultiLineTextGetsFiveLinesAndKeepsTheWidth) {
  const LabelStep step = StackLabel(290, LabelFont::Medium, true, TextExtent{900, 16}, 284);
  EXPECT_EQ(step.height, 80);
  EXPECT_EQ(step.advance, 80);
  EXPECT_EQ(step.contentWidth, 290u);
}

TEST(LabelLayout, WithoutADeviceContextTheNextLabelMovesDownAndThisOneHasNoHeight) {
  LabelStep step = StackLabel(100, LabelFont::Medium, false, std::nullopt, 284);
  EXPECT_EQ(step.advance, 18);
  EXPECT_EQ(step.height, 0);
  EXPECT_EQ(step.contentWidth, 284u);
  EXPECT_EQ(StackLabel(290, LabelFont::Medium, false, std::nullopt, 284).contentWidth, 290u);
}

}  // namespace
