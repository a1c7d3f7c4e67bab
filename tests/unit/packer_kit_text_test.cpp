#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "core/encoding/utf.h"
#include "packer/kit_text.h"

namespace {

std::string Le(const std::u16string& text) { return StringToUtf16LeBytes(text); }

std::string Be(const std::u16string& text) {
  std::string bytes = Le(text);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) std::swap(bytes[i], bytes[i + 1]);
  return bytes;
}

const std::u16string kTable = u"Index;English;Deutsch\r\n1;SUM;SUMME\r\n2;\u00c4;\U0001F600\r\n";
const std::u16string kTableLf = u"Index;English;Deutsch\n1;SUM;SUMME\n2;\u00c4;\U0001F600\n";

TEST(PackerKitText, ReadsEachEncodingAndWritesUtf16LeWithCrLf) {
  const struct {
    const char* name;
    std::string file;
  } cases[] = {
      {"UTF-16LE with mark", "\xFF\xFE" + Le(kTable)},
      {"UTF-16LE with mark, LF", "\xFF\xFE" + Le(kTableLf)},
      {"UTF-16BE with mark", "\xFE\xFF" + Be(kTable)},
      {"UTF-16BE with mark, LF", "\xFE\xFF" + Be(kTableLf)},
      {"UTF-8 with mark, LF", "\xEF\xBB\xBF" + Utf16ToUtf8(kTableLf)},
      {"UTF-8, CR LF", Utf16ToUtf8(kTable)},
      {"UTF-8, LF", Utf16ToUtf8(kTableLf)},
      {"UTF-8, CR", Utf16ToUtf8(u"Index;English;Deutsch\r1;SUM;SUMME\r2;\u00c4;\U0001F600\r")},
  };
  for (const auto& c : cases) EXPECT_EQ(KitTextToNameTable(c.file), Le(kTable)) << c.name;
}

TEST(PackerKitText, EvenLengthUtf8WithoutMarkIsNotTakenForUtf16) {
  const std::string file = "English\r\n#DIV/0!\r\n";  // 18 bytes
  ASSERT_EQ(file.size() % 2, 0u);
  EXPECT_EQ(KitTextToNameTable(file), Le(u"English\r\n#DIV/0!\r\n"));
}

TEST(PackerKitText, LastLineKeepsItsMissingEnd) {
  EXPECT_EQ(KitTextToNameTable("English\n#N/A"), Le(u"English\r\n#N/A"));
  EXPECT_EQ(KitTextToNameTable(""), "");
}

TEST(PackerKitText, RefusesMalformedText) {
  const struct {
    const char* name;
    std::string file;
    const char* reason;
  } cases[] = {
      {"invalid UTF-8", "English\n#N/A \xC3(\n", "invalid UTF-8"},
      {"UTF-16LE without mark", Le(u"English\r\n"), "UTF-16 text needs a byte-order mark"},
      {"odd UTF-16LE", std::string("\xFF\xFE" "E\0n", 5), "odd length"},
      {"unpaired surrogate", "\xFF\xFE" + Le(u"x") + std::string("\x00\xD8", 2), "invalid UTF-16"},
  };
  for (const auto& c : cases) {
    try {
      KitTextToNameTable(c.file);
      ADD_FAILURE() << c.name << ": accepted";
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos) << c.name << ": " << error.what();
    }
  }
}

}  // namespace
