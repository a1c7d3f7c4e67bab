// The target of the password dialog's contact button: a web address as it stands, or
// a mail link composed from the built-in pieces.
#include "launcher/ui/contact_link.h"

#include <gtest/gtest.h>

namespace {

TEST(ContactLink, BuiltInPiecesComposeAMailtoLink) {
  const ContactLinkTexts texts = BuiltInContactLinkTexts();
  EXPECT_EQ(ComposeContactTarget(u"author@example.com", u"Password", u"", texts),
            u"mailto:author@example.com?subject=Password");
  EXPECT_EQ(ComposeContactTarget(u"http://example.com/contact", u"Password", u"", texts),
            u"http://example.com/contact");
}

TEST(ContactLink, Targets) {
  const ContactLinkTexts texts = BuiltInContactLinkTexts();
  struct Case {
    const char* name;
    std::u16string contact;
    std::u16string body;
    std::u16string target;
  };
  const Case cases[] = {
      {"mail, no body", u"a@b.example", u"", u"mailto:a@b.example?subject=S p"},
      {"mail with body", u"a@b.example", u"Hello <x>", u"mailto:a@b.example?subject=S p&body=Hello <x>"},
      {"contact holding ? gets &", u"a@b.example?cc=c@d.example", u"",
       u"mailto:a@b.example?cc=c@d.example&subject=S p"},
      {"http", u"http://example.com", u"B", u"http://example.com"},
      {"https in capitals", u"HTTPS://Example.com/Buy", u"", u"HTTPS://Example.com/Buy"},
      {"www without at sign", u"www.example.com", u"", u"www.example.com"},
      {"www with an at sign is mail", u"www.shop@example.com", u"", u"mailto:www.shop@example.com?subject=S p"},
      {"http with an at sign is still web", u"http://user@example.com", u"", u"http://user@example.com"},
      {"a bare prefix is not an address", u"http://", u"", u"mailto:http://?subject=S p"},
      {"www. alone neither", u"WWW.", u"", u"mailto:WWW.?subject=S p"},
      {"no contact", u"", u"", u"mailto:?subject=S p"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ComposeContactTarget(c.contact, u"S p", c.body, texts), c.target);
  }
}

TEST(ContactLink, PrefixesAreComparedWithoutRegardToCase) {
  ContactLinkTexts texts;
  texts.webPrefixes = {u"HTTP://", u"https://", u"www."};
  EXPECT_TRUE(IsWebAddress(u"http://x", texts));
  EXPECT_TRUE(IsWebAddress(u"Www.x", texts));
  EXPECT_FALSE(IsWebAddress(u"ftp://x", texts));
}

}  // namespace
