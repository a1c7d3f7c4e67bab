#include "packer/progress.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr auto kQuietTime = std::chrono::seconds(1);           // shorter work shows nothing
constexpr auto kRedrawTime = std::chrono::milliseconds(200);

}  // namespace

bool StandardErrorIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(STDERR_FILENO) != 0;
#endif
}

Progress::Progress(std::ostream* terminal, std::string label, uint64_t total)
    : terminal_(terminal), label_(std::move(label)), total_(total) {}

Progress::~Progress() {
  if (terminal_ == nullptr || width_ == 0) return;
  *terminal_ << '\r' << std::string(width_, ' ') << '\r' << std::flush;
}

void Progress::SetLabel(std::string label, uint64_t total) {
  label_ = std::move(label);
  total_ = total;
  drawn_ = {};
  Set(0);
}

void Progress::Set(uint64_t done) {
  done_ = done;
  if (terminal_ == nullptr) return;
  const Clock::time_point now = Clock::now();
  if (now - start_ < kQuietTime || now - drawn_ < kRedrawTime) return;
  drawn_ = now;
  Draw();
}

void Progress::Draw() {
  constexpr double kMiB = 1024.0 * 1024.0;
  char figures[96] = "...";
  if (total_ != 0) {
    const auto percent = static_cast<unsigned>(done_ * 100 / total_);
    std::snprintf(figures, sizeof figures, ": %3u%% (%.0f of %.0f MiB)", percent, done_ / kMiB, total_ / kMiB);
  }
  const std::string line = "sheetpack: " + label_ + figures;
  *terminal_ << '\r' << line;
  if (line.size() < width_) *terminal_ << std::string(width_ - line.size(), ' ');
  *terminal_ << std::flush;
  width_ = std::max(width_, line.size());
}
