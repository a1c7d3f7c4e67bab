#pragma once
// The links the launcher hands to the shell: the password dialog's contact button (the
// author's web address, or a mail link with subject and body composed around the
// author's mail address) and the links of the start notice; and the rule that decides
// which of them may be opened at all.
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

// True when the contact is a mail address the mail link can carry: a local part and a
// domain with a dot, around one at sign, without spaces or the characters that end an
// address (<>,;"), optionally followed by "?" and header fields. The packer refuses a
// contact that is neither this nor a web address.
bool IsMailAddress(const std::u16string& contact);

// A web address as it stands, or the mail link; subject and body go in percent-encoded
// (an "&" in a title would end the subject, a line feed in the body the link); an
// empty body adds nothing. What may open is ShellLinkTarget's decision.
std::u16string ComposeContactTarget(const std::u16string& contact, const std::u16string& subject,
                                    const std::u16string& body, const ContactLinkTexts& texts);

// Percent-encodes text for a field of a mail link (RFC 6068): its UTF-8 bytes, every
// byte but the unreserved characters A-Z a-z 0-9 - . _ ~ as %XX.
std::u16string PercentEncode(const std::u16string& text);

// What the shell may be given for a link: an http:, https: or mailto: target as it
// stands (the scheme compared without regard to case, something after it); a "www."
// address with "https://" in front (as it stands the shell would look it up as a file
// first, in the current folder and on the search path, and run a program planted
// under that name); for anything else (file:, other schemes, plain names) nothing: an
// empty text, and nothing is opened.
std::u16string ShellLinkTarget(const std::u16string& link);
