#include "core/messages/contact_link.h"

#include <string_view>

#include "core/text/message_texts.h"
#include "core/encoding/utf.h"

namespace {

// The prefixes are ASCII, so folding ASCII letters is the whole comparison.
std::u16string AsciiLower(const std::u16string& text) {
  std::u16string lower = text;
  for (char16_t& c : lower) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return lower;
}

bool StartsLongerThan(const std::u16string& text, const std::u16string& prefix) {
  return !prefix.empty() && text.size() > prefix.size() && text.compare(0, prefix.size(), AsciiLower(prefix)) == 0;
}

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

// The only schemes the shell is given: the browser's and the mail program's.
constexpr const char16_t* kOpenedSchemes[] = {u"http:", u"https:", u"mailto:"};
constexpr char16_t kWebPrefix[] = u"www.";
constexpr char16_t kSecureWeb[] = u"https://";

}  // namespace

ContactLinkTexts BuiltInContactLinkTexts() {
  ContactLinkTexts texts;
  texts.webPrefixes = {GetText(TextId::kWebPrefix1), GetText(TextId::kWebPrefix2), GetText(TextId::kWebPrefix3)};
  texts.mailPrefix = GetText(SecondTextId::kMailPrefix, TextTable::Second);
  texts.subjectField = GetText(SecondTextId::kSubjectField, TextTable::Second);
  texts.bodyField = GetText(SecondTextId::kBodyField, TextTable::Second);
  return texts;
}

bool IsWebAddress(const std::u16string& contact, const ContactLinkTexts& texts) {
  const std::u16string lower = AsciiLower(contact);
  if (StartsLongerThan(lower, texts.webPrefixes[0]) || StartsLongerThan(lower, texts.webPrefixes[1])) return true;
  return contact.find(u'@') == std::u16string::npos && StartsLongerThan(lower, texts.webPrefixes[2]);
}

bool IsMailAddress(const std::u16string& contact) {
  const std::u16string address = contact.substr(0, contact.find(u'?'));
  const size_t at = address.find(u'@');
  if (at == 0 || at == std::u16string::npos || address.find(u'@', at + 1) != std::u16string::npos) return false;
  for (const char16_t c : address) {
    if (c <= u' ' || c == 0x7F || std::u16string_view(u"<>,;\"()[]\\").find(c) != std::u16string_view::npos) {
      return false;
    }
  }
  const std::u16string domain = address.substr(at + 1);
  const size_t dot = domain.find(u'.');
  return dot != std::u16string::npos && dot != 0 && domain.back() != u'.' && domain.find(u"..") == std::u16string::npos;
}

std::u16string ComposeContactTarget(const std::u16string& contact, const std::u16string& subject,
                                    const std::u16string& body, const ContactLinkTexts& texts) {
  if (IsWebAddress(contact, texts)) return contact;
  std::u16string target = texts.mailPrefix + contact;
  target += contact.find(u'?') == std::u16string::npos ? u'?' : u'&';
  target += texts.subjectField + PercentEncode(subject);
  if (!body.empty()) target += texts.bodyField + PercentEncode(body);
  return target;
}

std::u16string PercentEncode(const std::u16string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::u16string encoded;
  // A lone surrogate has no UTF-8 form: it goes in as U+FFFD.
  std::u16string valid = text;
  for (size_t i = 0; i < valid.size(); ++i) {
    const char16_t c = valid[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < valid.size() && valid[i + 1] >= 0xDC00 && valid[i + 1] <= 0xDFFF) {
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      valid[i] = 0xFFFD;
    }
  }
  for (const char byte : Utf16ToUtf8(valid)) {
    const auto c = static_cast<unsigned char>(byte);
    if (IsUnreserved(c)) {
      encoded += static_cast<char16_t>(c);
    } else {
      encoded += u'%';
      encoded += static_cast<char16_t>(kHex[c >> 4]);
      encoded += static_cast<char16_t>(kHex[c & 0x0F]);
    }
  }
  return encoded;
}

std::u16string ShellLinkTarget(const std::u16string& link) {
  const std::u16string lower = AsciiLower(link);
  for (const char16_t* scheme : kOpenedSchemes) {
    if (StartsLongerThan(lower, scheme)) return link;
  }
  if (StartsLongerThan(lower, kWebPrefix)) return kSecureWeb + link;
  return std::u16string();
}
