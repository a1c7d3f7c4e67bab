// The target of the password dialog's contact button: a web address as it stands, or
// a mail link composed from the built-in pieces, its fields percent-encoded; and which
// links the shell is given at all.
#include "core/messages/contact_link.h"

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
      {"mail, no body", u"a@b.example", u"", u"mailto:a@b.example?subject=S%20p"},
      {"mail with body", u"a@b.example", u"Hello <x>", u"mailto:a@b.example?subject=S%20p&body=Hello%20%3Cx%3E"},
      {"contact holding ? gets &", u"a@b.example?cc=c@d.example", u"",
       u"mailto:a@b.example?cc=c@d.example&subject=S%20p"},
      {"http", u"http://example.com", u"B", u"http://example.com"},
      {"https in capitals", u"HTTPS://Example.com/Buy", u"", u"HTTPS://Example.com/Buy"},
      {"www without at sign", u"www.example.com", u"", u"www.example.com"},
      {"www with an at sign is mail", u"www.shop@example.com", u"", u"mailto:www.shop@example.com?subject=S%20p"},
      {"http with an at sign is still web", u"http://user@example.com", u"", u"http://user@example.com"},
      {"a bare prefix is not an address", u"http://", u"", u"mailto:http://?subject=S%20p"},
      {"www. alone neither", u"WWW.", u"", u"mailto:WWW.?subject=S%20p"},
      {"no contact", u"", u"", u"mailto:?subject=S%20p"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ComposeContactTarget(c.contact, u"S p", c.body, texts), c.target);
  }
}

TEST(ContactLink, SubjectAndBodyArePercentEncoded) {
  const ContactLinkTexts texts = BuiltInContactLinkTexts();
  // "&" cut the subject of "R&D Planner" short; the key-40 body may hold line feeds.
  EXPECT_EQ(ComposeContactTarget(u"a@b.example", u"Password for R&D Planner", u"Line 1\nLine 2\r\n100% = ok?", texts),
            u"mailto:a@b.example?subject=Password%20for%20R%26D%20Planner"
            u"&body=Line%201%0ALine%202%0D%0A100%25%20%3D%20ok%3F");
}

TEST(PercentEncode, KeepsUnreservedCharactersAndEncodesUtf8Bytes) {
  const struct {
    std::u16string text;
    std::u16string encoded;
  } cases[] = {
      {u"", u""},
      {u"AZaz09-._~", u"AZaz09-._~"},
      {u" !\"#$%&'()*+,/:;=?@[]", u"%20%21%22%23%24%25%26%27%28%29%2A%2B%2C%2F%3A%3B%3D%3F%40%5B%5D"},
      {u"K\u00E4ssi \u20AC", u"K%C3%A4ssi%20%E2%82%AC"},
      {u"\U0001F600", u"%F0%9F%98%80"},
      {u"half \xD800 pair", u"half%20%EF%BF%BD%20pair"},
      {u"\t\x7F", u"%09%7F"},
  };
  for (const auto& c : cases) EXPECT_EQ(PercentEncode(c.text), c.encoded);
}

TEST(ShellLinkTarget, OpensOnlyWebAndMailLinks) {
  const struct {
    const char* name;
    std::u16string link;
    std::u16string opened;  // empty: not opened
  } cases[] = {
      {"http", u"http://example.com/ledger", u"http://example.com/ledger"},
      {"https", u"https://example.com", u"https://example.com"},
      {"scheme in capitals", u"HTTPS://Example.com/Buy", u"HTTPS://Example.com/Buy"},
      {"mailto", u"mailto:a@b.example?subject=Hi", u"mailto:a@b.example?subject=Hi"},
      {"Mailto", u"MailTo:a@b.example", u"MailTo:a@b.example"},
      {"www gets https", u"www.example.com/x", u"https://www.example.com/x"},
      {"WWW gets https", u"WWW.Example.com", u"https://WWW.Example.com"},
      {"file", u"file:///C:/Windows/System32/calc.exe", u""},
      {"file in capitals", u"FILE://server/share/run.exe", u""},
      {"another scheme", u"ftp://example.com/x", u""},
      {"a scheme that runs things", u"ms-msdt:/id PCWDiagnostic", u""},
      {"a program name like an address", u"www", u""},
      {"a path", u"C:\\Users\\nina\\run.exe", u""},
      {"a relative name", u"example.com", u""},
      {"space before the scheme", u" http://example.com", u""},
      {"a scheme alone", u"http:", u""},
      {"www. alone", u"www.", u""},
      {"empty", u"", u""},
  };
  for (const auto& c : cases) EXPECT_EQ(ShellLinkTarget(c.link), c.opened) << c.name;
}

TEST(ShellLinkTarget, EveryContactTargetOpensAsAWebOrMailLink) {
  const ContactLinkTexts texts = BuiltInContactLinkTexts();
  for (const std::u16string contact : {u"a@b.example", u"www.example.com", u"http://example.com", u"file:///C:/x",
                                       u"C:\\run.exe", u"", u"www.shop@example.com"}) {
    const std::u16string target = ShellLinkTarget(ComposeContactTarget(contact, u"S", u"", texts));
    ASSERT_FALSE(target.empty());
    EXPECT_TRUE(target.rfind(u"mailto:", 0) == 0 || target.rfind(u"http", 0) == 0);
  }
  EXPECT_EQ(ShellLinkTarget(ComposeContactTarget(u"www.example.com", u"S", u"", texts)), u"https://www.example.com");
}

TEST(ContactLink, PrefixesAreComparedWithoutRegardToCase) {
  ContactLinkTexts texts;
  texts.webPrefixes = {u"HTTP://", u"https://", u"www."};
  EXPECT_TRUE(IsWebAddress(u"http://x", texts));
  EXPECT_TRUE(IsWebAddress(u"Www.x", texts));
  EXPECT_FALSE(IsWebAddress(u"ftp://x", texts));
}

}  // namespace
