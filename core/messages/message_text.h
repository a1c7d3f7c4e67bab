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
  explicit notice4user(std::string text) : text_(std::move(text)) {}
  const char* what() const noexcept override { return text_.c_str(); }

 private:
  std::string text_;
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
