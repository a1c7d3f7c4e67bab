#include "office/zip_archive.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "core/encoding/byte_io.h"
#include "office/ooxml_package.h"
#include "zip_fixture.h"

namespace {

const std::string kText = "<Types>" + std::string(3000, 'x') + "</Types>";

TEST(ZipArchive, ReadsStoredDeflatedAndZip64Archives) {
  const std::vector<ZipFixtureEntry> entries = {{"a.txt", kText, true}, {"b/c.bin", "stored bytes", false}};
  for (bool zip64 : {false, true}) {
    SCOPED_TRACE(zip64 ? "zip64" : "zip");
    // A comment that holds an end-record signature of its own must not be taken for one.
    const std::string file = ZipFixture(entries, std::string("PK\x05\x06 in a comment", 18), zip64);
    const MemorySource source(file);
    ASSERT_TRUE(IsZipArchive(source));
    const std::vector<ZipEntry> read = ReadZipDirectory(source);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].name, "a.txt");
    EXPECT_EQ(read[0].method, 8);
    EXPECT_EQ(ReadZipEntry(source, read[0], 1 << 20), kText);
    EXPECT_EQ(ReadZipEntry(source, read[1], 1 << 20), "stored bytes");
  }
}

TEST(ZipArchive, RefusesDamagedArchives) {
  const std::string good = ZipFixture({{"a.txt", kText, true}});
  const size_t directory = good.size() - 22 - 46 - 5;  // the central header of a.txt
  const std::vector<std::pair<std::string, std::function<void(std::string&)>>> cases = {
      {"no end-of-directory record", [](std::string& f) { f.resize(f.size() - 22); }},
      {"lies past the end", [&](std::string& f) { StoreU32At(f, f.size() - 6, 0x7FFFFFF0); }},
      {"shorter than its count", [](std::string& f) { StoreU16At(f, f.size() - 12, 9000); }},
      {"is damaged", [&](std::string& f) { f[directory] = 'X'; }},
      {"fails its CRC-32 check", [&](std::string& f) { StoreU32At(f, directory + 16, 0x12345678); }},
      {"does not inflate to its size", [&](std::string& f) { StoreU32At(f, directory + 24, 3001); }},
      {"no local header", [&](std::string& f) { f[0] = 'X'; }},
      {"is encrypted", [&](std::string& f) { f[directory + 8] = 1; }},
      {"compression method 12", [&](std::string& f) { f[directory + 10] = 12; }},
      {"larger than", [&](std::string& f) { StoreU32At(f, directory + 24, 0x7FFFFFFF); }},
  };
  for (const auto& [expected, damage] : cases) {
    SCOPED_TRACE(expected);
    std::string file = good;
    damage(file);
    const MemorySource source(file);
    try {
      for (const ZipEntry& entry : ReadZipDirectory(source)) ReadZipEntry(source, entry, 1 << 20);
      ADD_FAILURE() << "accepted";
    } catch (const PackageFormatError& error) {
      EXPECT_NE(std::string(error.what()).find(expected), std::string::npos) << error.what();
    }
  }
}

TEST(OoxmlPackage, ContentTypesByPartNameThenExtension) {
  const OoxmlContentTypes types = ParseContentTypes(
      "<?xml version='1.0'?><!-- <Default Extension='xml' ContentType='no'/> -->"
      "<ct:Types xmlns:ct='x'><ct:Default Extension='XML' ContentType='application/xml'/>"
      "<Default Extension=\"bin\" ContentType=\"a&amp;b&#x41;&#66;\" />"
      "<Override PartName='/xl/Workbook.xml' ContentType='main'/></ct:Types>");
  EXPECT_EQ(types.TypeOf("/xl/workbook.xml"), "main");
  EXPECT_EQ(types.TypeOf("XL/WORKBOOK.XML"), "main");
  EXPECT_EQ(types.TypeOf("xl/styles.xml"), "application/xml");
  EXPECT_EQ(types.TypeOf("xl/vbaProject.bin"), "a&bAB");
  EXPECT_EQ(types.TypeOf("xl/media/no-extension"), "");
  EXPECT_EQ(types.TypeOf("xl.d/file"), "");
  EXPECT_THROW(ParseContentTypes("<Other/>"), PackageFormatError);
}

// A few kilobytes of deflated XML hold megabytes of '&': each must not search the rest
// of the value again, which took hours for a part of the size a package may have.
TEST(OoxmlPackage, LongRunsOfAmpersandsUnescapeInLinearTime) {
  const size_t run = 1024 * 1024;
  const std::string ampersands(run, '&');
  const auto start = std::chrono::steady_clock::now();
  const OoxmlContentTypes types = ParseContentTypes("<Types><Default Extension='a' ContentType='" + ampersands +
                                                    "'/><Default Extension='b' ContentType='" + ampersands +
                                                    "amp;&lt;'/></Types>");
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(types.TypeOf("x.a"), ampersands);
  EXPECT_EQ(types.TypeOf("x.b"), ampersands + "amp;<");
  EXPECT_LT(elapsed, std::chrono::seconds(5));
}

TEST(OoxmlPackage, MainPartFromThePackageRelationships) {
  const char* type = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument";
  const char* strict = "http://purl.oclc.org/ooxml/officeDocument/relationships/officeDocument";
  EXPECT_EQ(MainPartName(std::string("<Relationships><Relationship Id='r1' Type='x/thumbnail' Target='a.jpg'/>"
                                     "<Relationship Id='r2' Type='") + type + "' Target='/xl/workbook.xml'/>"),
            "xl/workbook.xml");
  EXPECT_EQ(MainPartName(std::string("<Relationship Type='") + strict + "' Target='./xl/wb.xml'/>"), "xl/wb.xml");
  EXPECT_EQ(MainPartName(std::string("<Relationship Type='") + type + "' Target='http://x' TargetMode='External'/>"), "");
}

TEST(OoxmlPackage, ReadsTheMainTypeAndTheVbaProject) {
  const std::string main = "application/vnd.ms-excel.sheet.macroEnabled.main+xml";
  const std::string withVba = OoxmlFixture(main, true);
  OoxmlPackage package = ReadOoxmlPackage(MemorySource(withVba));
  EXPECT_EQ(package.mainPart, "xl/workbook.xml");
  EXPECT_EQ(package.mainContentType, main);
  EXPECT_TRUE(package.hasVbaProject);
  const std::string withoutVba = OoxmlFixture(main, false);
  EXPECT_FALSE(ReadOoxmlPackage(MemorySource(withoutVba)).hasVbaProject);

  const std::vector<std::pair<std::string, std::string>> refused = {
      {"without [Content_Types].xml", ZipFixture({{"xl/workbook.xml", "<workbook/>"}})},
      {"without _rels/.rels", ZipFixture({{"[Content_Types].xml", "<Types/>"}})},
      {"names no main document part", ZipFixture({{"[Content_Types].xml", "<Types/>"}, {"_rels/.rels", "<Relationships/>"}})},
      {"is not in the archive",
       ZipFixture({{"[Content_Types].xml", "<Types/>"},
                   {"_rels/.rels", "<Relationship Type='x/officeDocument' Target='xl/workbook.xml'/>"}})},
  };
  for (const auto& [expected, file] : refused) {
    SCOPED_TRACE(expected);
    try {
      ReadOoxmlPackage(MemorySource(file));
      ADD_FAILURE() << "accepted";
    } catch (const PackageFormatError& error) {
      EXPECT_NE(std::string(error.what()).find(expected), std::string::npos) << error.what();
    }
  }
}

}  // namespace
