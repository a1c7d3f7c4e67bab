#pragma once
// The target the password dialog's contact button opens: the author's web address
// as it stands, or a mail link with subject and body composed around the author's
// mail address.
#include <array>
#include <string>

struct ContactLinkTexts {
  std::array<std::u16string, 3> webPrefixes;  // the third counts only without an at sign
  std::u16string mailPrefix;                  // e.g. "mailto:"
  std::u16string subjectField;                // e.g. "subject="
  std::u16string bodyField;                   // e.g. "&body="
};

// The built-in pieces (web prefixes from the main table, mail pieces from the second).
ContactLinkTexts BuiltInContactLinkTexts();

// True when the contact, compared in lower case, is longer than and starts with one of
// the web prefixes.
bool IsWebAddress(const std::u16string& contact, const ContactLinkTexts& texts);

// Subject and body go in as they are, without escaping; an empty body adds nothing.
std::u16string ComposeContactTarget(const std::u16string& contact, const std::u16string& subject,
                                    const std::u16string& body, const ContactLinkTexts& texts);
