#pragma once
// Macros written as <?NAME?> in shown texts, replaced by the application's values
// (title, version, information, author contact) and the user's folders.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "core/payload/app_settings.h"  // FormatAppVersion, for the APPVER macro


class MacroExpander {
 public:
  // Converts a value to the narrow (ANSI) code page for ExpandNarrow.
  using AnsiConverter = std::function<std::string(const std::u16string&)>;
  // Looks up a shell folder by CSIDL; nullopt when the lookup fails.
  using FolderLookup = std::function<std::optional<std::u16string>(int csidl)>;

  // Without a converter each character below 256 becomes that byte, others '?'.
  explicit MacroExpander(AnsiConverter toAnsi = nullptr);

  // Sets AUTHOR_CONTACT, APPNAME, APPVER, APPINFO, MYDOCUMENTS and DESKTOP.
  void RefreshMacros(const AppSettings& settings, const FolderLookup& folders);

  void Set(const std::u16string& name, const std::u16string& value);
  bool Contains(const std::u16string& name) const;
  std::u16string Value(const std::u16string& name) const;
  void Clear() { macros_.clear(); }

  std::u16string ExpandWide(std::u16string_view text) const;
  std::string ExpandNarrow(std::string_view text) const;
  // The narrow expansion for UTF-8 texts (message texts that become notice4user):
  // values are inserted as UTF-8, so the text stays valid UTF-8 for any value.
  std::string ExpandUtf8(std::string_view text) const;

 private:
  std::map<std::u16string, std::u16string> macros_;
  AnsiConverter toAnsi_;
};

constexpr int kCsidlDesktop = 0;
constexpr int kCsidlPersonal = 5;
