// When the splash closes: the 100 ms steps, the 60 s limit, "finish soon" (1281)
// before and after five seconds, "close now" (1282) and user input.
#include "launcher/ui/splash_timer.h"

#include <gtest/gtest.h>

namespace {

constexpr unsigned kPaint = 0x000F;
constexpr unsigned kMouseMove = 0x0200;
constexpr unsigned kMiddleButtonDown = 0x0207;
constexpr unsigned kFinishSoon = 1281;
constexpr unsigned kCloseNow = 1282;

// Feeds paint messages until the timer closes; returns the elapsed time then.
unsigned PaintUntilClosed(SplashTimer& timer) {
  for (int i = 0; i < 1000; ++i) {
    if (timer.ShouldClose(kPaint)) return timer.Elapsed();
    timer.Step();
  }
  return 0;
}

void Advance(SplashTimer& timer, unsigned ms) {
  for (unsigned t = 0; t < ms; t += kSplashStepMs) {
    ASSERT_FALSE(timer.ShouldClose(kPaint));
    timer.Step();
  }
}

TEST(SplashTimer, ClosesByItselfAfterSixtySeconds) {
  SplashTimer timer;
  EXPECT_EQ(PaintUntilClosed(timer), 60000u);
}

TEST(SplashTimer, FinishSoonBeforeFiveSecondsClosesAtFive) {
  SplashTimer timer;
  Advance(timer, 3000);
  EXPECT_FALSE(timer.ShouldClose(kFinishSoon));
  EXPECT_EQ(timer.Limit(), 5000u);
  timer.Step();
  EXPECT_EQ(PaintUntilClosed(timer), 5000u);
}

TEST(SplashTimer, FinishSoonAfterFiveSecondsClosesAtOnce) {
  SplashTimer timer;
  Advance(timer, 5100);
  EXPECT_TRUE(timer.ShouldClose(kFinishSoon));
}

TEST(SplashTimer, FinishSoonAtExactlyFiveSecondsClosesWithTheNextMessage) {
  SplashTimer timer;
  Advance(timer, 5000);
  EXPECT_FALSE(timer.ShouldClose(kFinishSoon));
  timer.Step();
  EXPECT_TRUE(timer.ShouldClose(kPaint));
}

TEST(SplashTimer, CloseNowClicksAndKeysCloseAtOnceOtherInputDoesNot) {
  const unsigned closing[] = {kCloseNow, 0x0100 /* key down */, 0x0201, 0x0202, 0x0203, 0x0204, 0x0205, 0x0206};
  for (unsigned message : closing) {
    SplashTimer timer;
    EXPECT_TRUE(timer.ShouldClose(message)) << std::hex << message;
  }
  const unsigned ignored[] = {kPaint, kMouseMove, kMiddleButtonDown, 0x0101 /* key up */, 0x0104 /* sys key */};
  for (unsigned message : ignored) {
    SplashTimer timer;
    EXPECT_FALSE(timer.ShouldClose(message)) << std::hex << message;
  }
}

}  // namespace
