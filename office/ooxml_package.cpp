// The two XML parts read here are small and flat: a scanner for start tags and their
// attributes is all they need. Namespace prefixes are dropped from element names.
#include "office/ooxml_package.h"

#include <cstdlib>
#include <functional>

namespace {

constexpr char kContentTypesPart[] = "[Content_Types].xml";
constexpr char kPackageRelationshipsPart[] = "_rels/.rels";
constexpr size_t kLargestXmlPart = 16 * 1024 * 1024;

using Attributes = std::map<std::string, std::string>;

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

void AppendUtf8(std::string& out, unsigned long code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x110000) {
    out += static_cast<char>(0xF0 | code >> 18);
    out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// An attribute value with its character references and the five entities replaced.
// Linear in the value's length: the next ';' is searched for again only once the scan has
// passed the one found, so a long run of '&' without one is not scanned once per '&'.
std::string Unescape(std::string_view value) {
  static const std::map<std::string_view, char> entities = {
      {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
  std::string out;
  out.reserve(value.size());
  size_t nextSemicolon = value.find(';');
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '&' && nextSemicolon != std::string_view::npos && nextSemicolon < i) {
      nextSemicolon = value.find(';', i);
    }
    const size_t semicolon = value[i] == '&' ? nextSemicolon : std::string_view::npos;
    if (semicolon == std::string_view::npos) {
      out += value[i];
      continue;
    }
    const std::string_view name = value.substr(i + 1, semicolon - i - 1);
    if (auto entity = entities.find(name); entity != entities.end()) {
      out += entity->second;
    } else if (name.size() > 1 && name[0] == '#') {
      const bool hex = name[1] == 'x';
      const std::string digits(name.substr(hex ? 2 : 1));
      char* end = nullptr;
      const unsigned long code = std::strtoul(digits.c_str(), &end, hex ? 16 : 10);
      if (!digits.empty() && *end == '\0') AppendUtf8(out, code);
    } else {
      out += value.substr(i, semicolon - i + 1);
    }
    i = semicolon;
  }
  return out;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Calls `found` with the attributes of every start tag whose local name is `element`.
void ForEachElement(std::string_view xml, std::string_view element, const std::function<void(const Attributes&)>& found) {
  size_t at = 0;
  while ((at = xml.find('<', at)) != std::string_view::npos) {
    ++at;
    if (xml.substr(at, 3) == "!--") {
      at = xml.find("-->", at);
      continue;
    }
    if (at < xml.size() && (xml[at] == '?' || xml[at] == '!' || xml[at] == '/')) continue;
    size_t end = at;
    while (end < xml.size() && !IsSpace(xml[end]) && xml[end] != '/' && xml[end] != '>') ++end;
    std::string_view name = xml.substr(at, end - at);
    if (const size_t colon = name.find(':'); colon != std::string_view::npos) name.remove_prefix(colon + 1);
    Attributes attributes;
    at = end;
    while (at < xml.size() && xml[at] != '>') {
      if (IsSpace(xml[at]) || xml[at] == '/') {
        ++at;
        continue;
      }
      const size_t equals = xml.find('=', at);
      if (equals == std::string_view::npos || equals + 1 >= xml.size()) return;
      std::string_view attribute = xml.substr(at, equals - at);
      while (!attribute.empty() && IsSpace(attribute.back())) attribute.remove_suffix(1);
      size_t open = equals + 1;
      while (open < xml.size() && IsSpace(xml[open])) ++open;
      if (open >= xml.size() || (xml[open] != '"' && xml[open] != '\'')) return;
      const size_t close = xml.find(xml[open], open + 1);
      if (close == std::string_view::npos) return;
      attributes[std::string(attribute)] = Unescape(xml.substr(open + 1, close - open - 1));
      at = close + 1;
    }
    if (name == element) found(attributes);
  }
}

std::string WithoutLeadingSlash(std::string_view name) {
  while (!name.empty() && name.front() == '/') name.remove_prefix(1);
  return std::string(name);
}

std::string Attribute(const Attributes& attributes, const std::string& name) {
  auto it = attributes.find(name);
  return it == attributes.end() ? std::string() : it->second;
}

const ZipEntry* FindEntry(const std::vector<ZipEntry>& entries, std::string_view partName) {
  const std::string wanted = LowerAscii(WithoutLeadingSlash(partName));
  for (const ZipEntry& entry : entries) {
    if (LowerAscii(entry.name) == wanted) return &entry;
  }
  return nullptr;
}

}  // namespace

std::string OoxmlContentTypes::TypeOf(std::string_view partName) const {
  const std::string name = LowerAscii(WithoutLeadingSlash(partName));
  if (auto it = overrides.find(name); it != overrides.end()) return it->second;
  const size_t dot = name.rfind('.');
  const size_t slash = name.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  auto it = defaults.find(name.substr(dot + 1));
  return it == defaults.end() ? std::string() : it->second;
}

OoxmlContentTypes ParseContentTypes(std::string_view xml) {
  bool typesFound = false;
  ForEachElement(xml, "Types", [&](const Attributes&) { typesFound = true; });
  if (!typesFound) throw PackageFormatError(std::string(kContentTypesPart) + " holds no Types element");
  OoxmlContentTypes types;
  ForEachElement(xml, "Default", [&](const Attributes& attributes) {
    types.defaults[LowerAscii(Attribute(attributes, "Extension"))] = Attribute(attributes, "ContentType");
  });
  ForEachElement(xml, "Override", [&](const Attributes& attributes) {
    types.overrides[LowerAscii(WithoutLeadingSlash(Attribute(attributes, "PartName")))] =
        Attribute(attributes, "ContentType");
  });
  return types;
}

std::string MainPartName(std::string_view packageRelationships) {
  std::string main;
  ForEachElement(packageRelationships, "Relationship", [&](const Attributes& attributes) {
    const std::string type = Attribute(attributes, "Type");
    const std::string suffix = "/officeDocument";
    const bool officeDocument = type.size() > suffix.size() && type.compare(type.size() - suffix.size(), suffix.size(), suffix) == 0;
    if (!officeDocument || Attribute(attributes, "TargetMode") == "External" || !main.empty()) return;
    std::string target = Attribute(attributes, "Target");
    if (target.rfind("./", 0) == 0) target.erase(0, 2);
    main = WithoutLeadingSlash(target);
  });
  return main;
}

OoxmlPackage ReadOoxmlPackage(const ByteSource& source) {
  const std::vector<ZipEntry> entries = ReadZipDirectory(source);
  const ZipEntry* contentTypes = FindEntry(entries, kContentTypesPart);
  if (!contentTypes) throw PackageFormatError(std::string("a zip archive without ") + kContentTypesPart + ", not an OOXML package");
  const OoxmlContentTypes types = ParseContentTypes(ReadZipEntry(source, *contentTypes, kLargestXmlPart));
  const ZipEntry* relationships = FindEntry(entries, kPackageRelationshipsPart);
  if (!relationships) throw PackageFormatError(std::string("an OOXML package without ") + kPackageRelationshipsPart);

  OoxmlPackage package;
  package.mainPart = MainPartName(ReadZipEntry(source, *relationships, kLargestXmlPart));
  if (package.mainPart.empty()) throw PackageFormatError("an OOXML package that names no main document part");
  if (!FindEntry(entries, package.mainPart)) {
    throw PackageFormatError("its main part " + package.mainPart + " is not in the archive");
  }
  package.mainContentType = types.TypeOf(package.mainPart);
  for (const ZipEntry& entry : entries) {
    if (!entry.name.empty() && entry.name.back() != '/' && types.TypeOf(entry.name) == kVbaProjectContentType) {
      package.hasVbaProject = true;
    }
  }
  return package;
}
