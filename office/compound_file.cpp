#include "office/compound_file.h"

#include <algorithm>

#include "core/encoding/utf.h"

namespace {

char16_t UpperAscii(char16_t unit) { return unit >= u'a' && unit <= u'z' ? unit - u'a' + u'A' : unit; }

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return UpperAscii(static_cast<unsigned char>(x)) == UpperAscii(static_cast<unsigned char>(y));
         });
}

}  // namespace

bool CfbNameLess(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return a.size() < b.size();
  for (size_t i = 0; i < a.size(); ++i) {
    const char16_t x = UpperAscii(a[i]);
    const char16_t y = UpperAscii(b[i]);
    if (x != y) return x < y;
  }
  return false;
}

bool HasForbiddenNameCharacter(std::string_view name) {
  return name.find_first_of("/\\:!") != std::string_view::npos;
}

const CfbEntry* CfbEntry::Find(std::string_view path) const {
  const CfbEntry* entry = this;
  while (!path.empty()) {
    const size_t slash = path.find('/');
    const std::string_view name = path.substr(0, slash);
    auto child = std::find_if(entry->children.begin(), entry->children.end(),
                              [&](const CfbEntry& c) { return SameName(c.name, name); });
    if (child == entry->children.end()) return nullptr;
    entry = &*child;
    path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
  }
  return entry;
}
