#pragma once
// The one way a text reaches the user: override table first, then the built-in table
// (backslash-n in either becomes a line feed), then macro expansion; and notice4user,
// the exception that carries such a text.
#include <exception>
#include <string>
#include <utility>

class TextOverrideTable;
class MacroExpander;

class notice4user : public std::exception {
 public:
  // `captionKey`: the override key of the box's own caption, when the box has one
  // (otherwise, and while the author gives no text for it, the warning caption).
  explicit notice4user(std::string text, int captionKey = 0) : text_(std::move(text)), captionKey_(captionKey) {}
  const char* what() const noexcept override { return text_.c_str(); }
  int CaptionKey() const { return captionKey_; }

 private:
  std::string text_;
  int captionKey_;
};

// Either pointer may be null: no overrides, or no expansion.
struct MessageTextSources {
  const TextOverrideTable* overrides = nullptr;
  const MacroExpander* expander = nullptr;
};

std::u16string GetMessageText(const MessageTextSources& sources, int key, int id);
std::string GetMessageTextUtf8(const MessageTextSources& sources, int key, int id);
// The override text alone, expanded; empty without an override (no built-in fallback).
std::u16string GetExpandedOverrideText(const MessageTextSources& sources, int key);
// The caption of a warning box: the author's text for the box's own caption key, else
// the warning caption (override key 7, built-in 8), so that an author who translated
// the warning caption has every box translated.
std::u16string GetWarningCaption(const MessageTextSources& sources, int captionKey);
