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
      // The launcher's fixed rules: RTF first, no statistical guess.
      {std::string("{\\rtf1 H\0i\0", 12), "rtf"},
      {"Read this first!", "utf-8"},
      {std::string("H\0e\0l\0l\0o\0!", 11), "utf-8"},  // odd length without a mark: up to the zero
      {"\xFF\xFE\x2D\x4E\x87\x65", "utf-16"},
      {"\x2D\x4E\x87\x65\x87\x65", "ansi"},  // CJK without a mark is not recognised
  };
  for (const auto& [bytes, kind] : cases) {
    EXPECT_STREQ(NoticeKindName(ClassifyNotice(bytes)), kind) << testing::PrintToString(bytes);
  }
}

}  // namespace
