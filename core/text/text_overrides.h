#pragma once
// The text override table a packaged application may carry (item 1035): UTF-8 texts
// by key that replace built-in message texts, typically translations.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

class TextOverrideTable {
 public:
  // Fills the table from the item's bytes; a truncated table keeps what was read.
  void LoadTextOverrides(std::string_view item);

  bool HasOverrideText(int32_t key) const;
  // Backslash-n becomes a line feed; empty when there is no text for the key.
  std::u16string GetOverrideText(int32_t key) const;
  std::string GetOverrideTextUtf8(int32_t key) const;

  const std::map<int32_t, std::string>& Texts() const { return texts_; }
  void Clear() { texts_.clear(); }

 private:
  std::map<int32_t, std::string> texts_;
};

// Writes an override table holding the texts (UTF-8) by key.
std::string WriteTextOverrides(const std::map<int32_t, std::string>& texts);

// Replaces every backslash followed by 'n' with a line feed.
std::string ReplaceBackslashN(std::string_view text);
