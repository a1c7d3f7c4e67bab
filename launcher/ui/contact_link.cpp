#include "launcher/ui/contact_link.h"

#include "launcher/payload/message_texts.h"

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

std::u16string ComposeContactTarget(const std::u16string& contact, const std::u16string& subject,
                                    const std::u16string& body, const ContactLinkTexts& texts) {
  if (IsWebAddress(contact, texts)) return contact;
  std::u16string target = texts.mailPrefix + contact;
  target += contact.find(u'?') == std::u16string::npos ? u'?' : u'&';
  target += texts.subjectField + subject;
  if (!body.empty()) target += texts.bodyField + body;
  return target;
}
