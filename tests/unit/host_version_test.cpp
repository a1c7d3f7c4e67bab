#include "core/host/host_version.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct VersionCase {
  std::u16string text;
  int32_t expected;
};

TEST(ParseHostVersion, TakesTheLeadingDecimalInteger) {
  const VersionCase cases[] = {
      {u"16.0", 16},       {u"12.0", 12},  {u"9.0", 9},         {u"", 0},
      {u"abc", 0},         {u".5", 0},     {u"  14.0", 14},     {u"\t\r\n11", 11},
      {u"+15", 15},        {u"-3x", -3},   {u"- 3", 0},         {u"007", 7},
      {u"16 .0", 16},      {u"1a2", 1},    {u"\u00A016", 0},  // no-break space is not white space
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseHostVersion(c.text), c.expected) << std::string(c.text.begin(), c.text.end());
  }
}

TEST(ParseHostVersion, SaturatesOutOfRange) {
  EXPECT_EQ(ParseHostVersion(u"2147483647"), 2147483647);
  EXPECT_EQ(ParseHostVersion(u"2147483648"), 2147483647);
  EXPECT_EQ(ParseHostVersion(u"99999999999999999999999"), 2147483647);
  EXPECT_EQ(ParseHostVersion(u"-2147483648"), -2147483647 - 1);
  EXPECT_EQ(ParseHostVersion(u"-99999999999999999999999"), -2147483647 - 1);
}

}  // namespace
