#pragma once
// A file's bytes as a sequence of runs, written out one after the other: the packer's
// output holds the items it packs by reference instead of copying each into the
// resource section and that into the image, so a large workbook is held once.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class ByteRuns {
 public:
  void Append(std::string owned);
  // The bytes are not copied: they must outlive these runs.
  void AppendView(std::string_view view);
  void AppendZeros(uint64_t count);
  void Append(ByteRuns&& runs);

  uint64_t Size() const { return size_; }
  const std::vector<std::string_view>& Runs() const { return runs_; }
  std::string Flatten() const;

 private:
  std::vector<std::unique_ptr<std::string>> owned_;  // on the heap, so views of them survive moves
  std::vector<std::string_view> runs_;
  uint64_t size_ = 0;
};
