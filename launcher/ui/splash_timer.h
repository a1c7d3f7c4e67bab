#pragma once
// When the splash closes. Time is counted per message taken from the splash thread's
// queue, 100 ms each (the loop pauses that long after every message), not read from a
// clock: the splash's unending paint requests keep the steps coming.

constexpr unsigned kSplashStepMs = 100;
constexpr unsigned kSplashLimitMs = 60000;
constexpr unsigned kSplashFinishMs = 5000;

class SplashTimer {
 public:
  // Called for each message before it is handled; true when the splash must close:
  // the limit is reached, the user clicked or pressed a key, "close now" came, or
  // "finish soon" came after the finishing time. An earlier "finish soon" lowers
  // the limit to the finishing time.
  bool ShouldClose(unsigned message);
  // Called after each handled message.
  void Step() { elapsed_ += kSplashStepMs; }

  unsigned Elapsed() const { return elapsed_; }
  unsigned Limit() const { return limit_; }

 private:
  unsigned elapsed_ = 0;
  unsigned limit_ = kSplashLimitMs;
};
