#pragma once
// Progress of long work, for an author waiting at a terminal: one line rewritten in
// place, shown only once the work has taken more than a second, and cleared when it ends.
// Nothing is written without a terminal (the stream is null then).
#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>

// True when the process's standard error is a terminal.
bool StandardErrorIsTerminal();

class Progress {
 public:
  // `terminal` is where the line goes, or null for no line at all.
  Progress(std::ostream* terminal, std::string label, uint64_t total);
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  ~Progress();

  void Set(uint64_t done);
  // A new stage; with `total` 0 it shows no figures (work that cannot tell how far it is).
  void SetLabel(std::string label, uint64_t total);

 private:
  using Clock = std::chrono::steady_clock;
  void Draw();

  std::ostream* terminal_;
  std::string label_;
  uint64_t total_;
  uint64_t done_ = 0;
  Clock::time_point start_ = Clock::now();
  Clock::time_point drawn_{};
  size_t width_ = 0;  // of the line drawn last, to clear it
};
