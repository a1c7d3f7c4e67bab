#include "packer/byte_runs.h"

void ByteRuns::Append(std::string owned) {
  if (owned.empty()) return;
  owned_.push_back(std::make_unique<std::string>(std::move(owned)));
  AppendView(*owned_.back());
}

void ByteRuns::AppendView(std::string_view view) {
  if (view.empty()) return;
  runs_.push_back(view);
  size_ += view.size();
}

void ByteRuns::AppendZeros(uint64_t count) { Append(std::string(count, '\0')); }

void ByteRuns::Append(ByteRuns&& runs) {
  for (auto& owned : runs.owned_) owned_.push_back(std::move(owned));
  runs_.insert(runs_.end(), runs.runs_.begin(), runs.runs_.end());
  size_ += runs.size_;
  runs = ByteRuns();
}

std::string ByteRuns::Flatten() const {
  std::string bytes;
  bytes.reserve(size_);
  for (const std::string_view run : runs_) bytes += run;
  return bytes;
}
