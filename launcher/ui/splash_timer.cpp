#include "launcher/ui/splash_timer.h"

#include "core/host/addin_messages.h"

namespace {

// Window message numbers of the user input that dismisses the splash.
constexpr unsigned kKeyDown = 0x0100;
constexpr unsigned kLeftButtonDown = 0x0201;
constexpr unsigned kRightButtonDoubleClick = 0x0206;  // the six button messages run from 0x201 to 0x206

bool IsDismissal(unsigned message) {
  return message == kKeyDown || (message >= kLeftButtonDown && message <= kRightButtonDoubleClick) ||
         message == SplashMessage::kCloseNow;
}

}  // namespace

bool SplashTimer::ShouldClose(unsigned message) {
  if (elapsed_ >= limit_) return true;
  if (IsDismissal(message)) return true;
  if (message == SplashMessage::kFinishSoon) {
    if (elapsed_ > kSplashFinishMs) return true;
    limit_ = kSplashFinishMs;
  }
  return false;
}
