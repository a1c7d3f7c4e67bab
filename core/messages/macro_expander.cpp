#include "core/messages/macro_expander.h"


#include "core/payload/app_settings.h"
#include "core/encoding/utf.h"

namespace {

// Each character below 256 is that byte; the rest cannot be shown in a narrow text.
std::string LatinOrQuestionMark(const std::u16string& value) {
  std::string out;
  out.reserve(value.size());
  for (char16_t c : value) out.push_back(c < 256 ? static_cast<char>(c) : '?');
  return out;
}

// Settings texts come from the record as raw UTF-16 and may hold a lone surrogate;
// a text for the user must still convert, so such a unit becomes U+FFFD.
std::string ToUtf8Lenient(const std::u16string& value) {
  std::u16string clean;
  clean.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    const char16_t c = value[i];
    const bool high = c >= 0xD800 && c <= 0xDBFF;
    const bool low = c >= 0xDC00 && c <= 0xDFFF;
    if (high && i + 1 < value.size() && value[i + 1] >= 0xDC00 && value[i + 1] <= 0xDFFF) {
      clean.push_back(c);
      clean.push_back(value[++i]);
    } else {
      clean.push_back(high || low ? u'\uFFFD' : c);
    }
  }
  return Utf16ToUtf8(clean);
}

std::u16string NameOf(std::u16string_view name) { return std::u16string(name); }
std::u16string NameOf(std::string_view name) { return WidenBytes(name); }

// The one expansion loop for wide and narrow texts. Values are inserted as they are:
// they are never scanned again, so a value holding a macro stays literal.
template <typename Char, typename ValueOf>
std::basic_string<Char> Expand(std::basic_string_view<Char> text, ValueOf valueOf) {
  using View = std::basic_string_view<Char>;
  const Char open[] = {'<', '?'};
  const Char close[] = {'?', '>'};
  std::basic_string<Char> out;
  size_t i = 0;
  while (i < text.size()) {
    const size_t start = text.find(View(open, 2), i);
    if (start == View::npos) break;
    out.append(text.substr(i, start - i));
    const size_t end = text.find(View(close, 2), start);
    if (end == View::npos) {
      i = start;
      break;
    }
    if (end == start + 1) {
      // "<?>": the delimiters share the '?'; it is text, not an empty macro.
      out.append(text.substr(start, 3));
      i = start + 3;
      continue;
    }
    const View name = text.substr(start + 2, end - start - 2);
    std::optional<std::basic_string<Char>> value;
    if (!name.empty()) value = valueOf(NameOf(name));
    if (value) {
      out += *value;
    } else {
      out.append(text.substr(start, end + 2 - start));
    }
    i = end + 2;
  }
  if (i < text.size()) out.append(text.substr(i));
  return out;
}

}  // namespace

MacroExpander::MacroExpander(AnsiConverter toAnsi) : toAnsi_(std::move(toAnsi)) {
  if (!toAnsi_) toAnsi_ = LatinOrQuestionMark;
}

void MacroExpander::RefreshMacros(const AppSettings& settings, const FolderLookup& folders) {
  Set(u"AUTHOR_CONTACT", settings.authorContact);
  Set(u"APPNAME", settings.appTitle);
  Set(u"APPVER", FormatAppVersion(settings.appVersion()));
  Set(u"APPINFO", settings.appInfo);
  if (!folders) return;
  // A failed lookup keeps whatever an earlier refresh found.
  if (auto documents = folders(kCsidlPersonal)) Set(u"MYDOCUMENTS", *documents);
  if (auto desktop = folders(kCsidlDesktop)) Set(u"DESKTOP", *desktop);
}

void MacroExpander::Set(const std::u16string& name, const std::u16string& value) {
  macros_[name] = value;
}

bool MacroExpander::Contains(const std::u16string& name) const {
  return macros_.find(name) != macros_.end();
}

std::u16string MacroExpander::Value(const std::u16string& name) const {
  auto it = macros_.find(name);
  return it == macros_.end() ? std::u16string() : it->second;
}

std::u16string MacroExpander::ExpandWide(std::u16string_view text) const {
  return Expand(text, [this](const std::u16string& name) -> std::optional<std::u16string> {
    auto it = macros_.find(name);
    if (it == macros_.end()) return std::nullopt;
    return it->second;
  });
}

std::string MacroExpander::ExpandNarrow(std::string_view text) const {
  return Expand(text, [this](const std::u16string& name) -> std::optional<std::string> {
    auto it = macros_.find(name);
    if (it == macros_.end()) return std::nullopt;
    return toAnsi_(it->second);
  });
}

std::string MacroExpander::ExpandUtf8(std::string_view text) const {
  return Expand(text, [this](const std::u16string& name) -> std::optional<std::string> {
    auto it = macros_.find(name);
    if (it == macros_.end()) return std::nullopt;
    return ToUtf8Lenient(it->second);
  });
}
