#include <gtest/gtest.h>

#include "packer/notice_kind.h"

namespace {

TEST(PackerNoticeKind, ClassifiesAsTheLauncherReadsIt) {
  const std::vector<std::pair<std::string, const char*>> cases = {
      {"", "none"},
      {std::string(1, '\0'), "none"},
      {"ab", "none"},
      {"\xFF\xFE" "a", "utf-16"},
      {std::string("H\0e\0l\0l\0o\0", 10), "utf-16"},
      {"{\\rtf1\\ansi Hello}", "rtf"},
      {"Hello <?APPNAME?>", "utf-8"},
      {"\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F" "e", "utf-8"},
      {"Gr\xFC\xDF" "e", "ansi"},
      {std::string("ok\0\xFF", 4), "utf-8"},  // only the text before a zero byte counts
  };
  for (const auto& [bytes, kind] : cases) {
    EXPECT_STREQ(NoticeKindName(ClassifyNotice(bytes)), kind) << testing::PrintToString(bytes);
  }
}

}  // namespace
