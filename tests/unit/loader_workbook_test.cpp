#include "packer/loader/loader_workbook.h"
#include "office/vba_project.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "core/encoding/byte_io.h"
#include "core/encoding/utf.h"
#include "office/compound_file.h"
#include "office/loader_format_error.h"
#include "office/ovba_compression.h"

namespace {

struct BiffRecord {
  size_t offset;
  uint16_t id;
  std::string payload;
};

// The records of a BIFF8 stream up to its last EOF; the padding after it is not read.
std::vector<BiffRecord> Records(const std::string& stream, size_t offset, bool untilFirstEof) {
  std::vector<BiffRecord> records;
  ByteReader reader(stream, offset);
  while (reader.Remaining() >= 4) {
    const size_t at = reader.Position();
    const uint16_t id = reader.U16();
    const uint16_t size = reader.U16();
    EXPECT_LE(size, reader.Remaining());
    records.push_back({at, id, std::string(reader.Take(size))});
    if (id == 0x000A && untilFirstEof) break;
  }
  return records;
}

std::string CodeNameText(const std::string& payload) {
  EXPECT_EQ(ReadU16At(payload, 0) * 2 + 3, payload.size());
  EXPECT_EQ(payload[2], 1);  // 16-bit characters
  return Utf16ToUtf8(Utf16LeBytesToString(std::string_view(payload).substr(3)));
}

class LoaderWorkbook : public ::testing::Test {
 protected:
  const std::string file_ = WriteLoaderWorkbook();
  const CfbEntry root_ = ReadCompoundFile(file_);
};

TEST_F(LoaderWorkbook, HoldsTheWorkbookAndTheProject) {
  std::vector<std::string> paths;
  std::function<void(const CfbEntry&, const std::string&)> walk = [&](const CfbEntry& e, const std::string& path) {
    for (const CfbEntry& child : e.children) {
      paths.push_back(path + child.name);
      walk(child, path + child.name + "/");
    }
  };
  walk(root_, "");
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths, (std::vector<std::string>{"Workbook", "_VBA_PROJECT_CUR", "_VBA_PROJECT_CUR/PROJECT",
                                             "_VBA_PROJECT_CUR/PROJECTwm", "_VBA_PROJECT_CUR/VBA",
                                             "_VBA_PROJECT_CUR/VBA/Sheet1", "_VBA_PROJECT_CUR/VBA/ThisWorkbook",
                                             "_VBA_PROJECT_CUR/VBA/_VBA_PROJECT", "_VBA_PROJECT_CUR/VBA/dir"}));
  EXPECT_EQ(root_.Find("_VBA_PROJECT_CUR/VBA/_VBA_PROJECT")->data, std::string("\xCC\x61\xFF\xFF\x00\x00\x00", 7));
}

TEST_F(LoaderWorkbook, ModulesHoldTheirSourceOnly) {
  const std::vector<VbaModule> modules = ReadWorkbookModules(file_);
  ASSERT_EQ(modules.size(), 2u);
  EXPECT_EQ(modules[0].name, "ThisWorkbook");
  EXPECT_EQ(modules[1].name, "Sheet1");
  const std::string& source = modules[0].source;
  EXPECT_EQ(source.find("Attribute VB_Name = \"ThisWorkbook\"\r\n"), 0u);
  EXPECT_NE(source.find("Attribute VB_Base = \"0{00020819-0000-0000-C000-000000000046}\"\r\n"), std::string::npos);
  ASSERT_GE(source.size(), LoaderMacroSource().size());
  EXPECT_EQ(source.substr(source.size() - LoaderMacroSource().size()), LoaderMacroSource());
  EXPECT_EQ(modules[1].source.find("Attribute VB_Name = \"Sheet1\"\r\n"), 0u);
  // The stream is the compressed source from its first byte: no compiled code before it.
  EXPECT_EQ(OvbaDecompress(root_.Find("_VBA_PROJECT_CUR/VBA/ThisWorkbook")->data), source);
}

TEST_F(LoaderWorkbook, MacroLoadsTheAddInOnEitherBitness) {
  const std::string macro = LoaderMacroSource();
  for (const char* line : {
           "#If VBA7 Then\r\n",
           "Private Declare PtrSafe Function DummyFunc9 Lib \"pelkostub.dll\" (ByVal code As Long, ByVal host As LongPtr, ByVal reserved As LongPtr) As Long\r\n",
           "Private Declare Function DummyFunc9 Lib \"pelkostub.dll\" (ByVal code As Long, ByVal host As Long, ByVal reserved As Long) As Long\r\n",
           "Private Sub Workbook_Open()\r\n    On Error Resume Next\r\n",
           // By the path's UTF-16 address: a String argument would go through the ANSI code page.
           "Private Declare PtrSafe Function LoadLibraryW Lib \"kernel32\" (ByVal lpLibFileName As LongPtr) As LongPtr\r\n",
           "Private Declare Function LoadLibraryW Lib \"kernel32\" (ByVal lpLibFileName As Long) As Long\r\n",
           "    addInPath = ThisWorkbook.Path & \"\\pelkostub.dll\"\r\n    LoadLibraryW StrPtr(addInPath)\r\n"
           "    DummyFunc9 1170, ObjPtr(Application), 0\r\n",
           "    ThisWorkbook.Saved = True\r\n    ThisWorkbook.Close SaveChanges:=False\r\n",
       }) {
    EXPECT_NE(macro.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(macro.find("LoadLibraryA"), std::string::npos);
  for (size_t i = 0; i < macro.size(); ++i) {
    if (macro[i] == '\n') {
      ASSERT_EQ(macro[i - 1], '\r') << "a bare line feed at " << i;
    }
  }
}

TEST_F(LoaderWorkbook, ProjectStreamNamesTheDocumentModules) {
  const std::string project = root_.Find("_VBA_PROJECT_CUR/PROJECT")->data;
  for (const char* line : {"Document=ThisWorkbook/&H00000000\r\n", "Document=Sheet1/&H00000000\r\n",
                           "Name=\"VBAProject\"\r\n", "[Workspace]\r\n"}) {
    EXPECT_NE(project.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(root_.Find("_VBA_PROJECT_CUR/PROJECTwm")->data,
            std::string("ThisWorkbook\0", 13) + StringToUtf16LeBytes(u"ThisWorkbook") + std::string(2, '\0') +
                std::string("Sheet1\0", 7) + StringToUtf16LeBytes(u"Sheet1") + std::string(4, '\0'));
}

// The globals substream marks the VBA project and names the workbook's module; its sheet
// entry points at a worksheet substream that names the sheet's module.
TEST_F(LoaderWorkbook, WorkbookStreamBindsTheModules) {
  const std::string stream = root_.Find("Workbook")->data;
  EXPECT_GE(stream.size(), 4096u);  // kept out of the mini stream
  // Record by record from the first byte, a reader lands exactly on the stream's end.
  size_t at = 0;
  while (at + 4 <= stream.size()) at += 4 + ReadU16At(stream, at + 2);
  EXPECT_EQ(at, stream.size());
  const std::vector<BiffRecord> globals = Records(stream, 0, true);
  ASSERT_FALSE(globals.empty());
  EXPECT_EQ(globals.front().id, 0x0809);
  EXPECT_EQ(ReadU16At(globals.front().payload, 0), 0x0600);  // BIFF8
  EXPECT_EQ(ReadU16At(globals.front().payload, 2), 0x0005);  // globals
  EXPECT_EQ(globals.back().id, 0x000A);
  std::map<uint16_t, std::vector<std::string>> byId;
  for (const BiffRecord& r : globals) byId[r.id].push_back(r.payload);
  EXPECT_EQ(byId[0x00D3], std::vector<std::string>{""});  // OBJPROJ
  ASSERT_EQ(byId[0x01BA].size(), 1u);
  EXPECT_EQ(CodeNameText(byId[0x01BA][0]), "ThisWorkbook");
  ASSERT_EQ(byId[0x0085].size(), 1u);
  const std::string& sheet = byId[0x0085][0];
  EXPECT_EQ(sheet.substr(4, 2), std::string(2, '\0'));  // a visible worksheet
  EXPECT_EQ(sheet.substr(6), std::string("\x06\x01", 2) + StringToUtf16LeBytes(u"Sheet1"));

  const uint32_t sheetOffset = ReadU32At(sheet, 0);
  EXPECT_EQ(sheetOffset, globals.back().offset + 4);  // right after the globals' EOF
  const std::vector<BiffRecord> worksheet = Records(stream, sheetOffset, true);
  ASSERT_FALSE(worksheet.empty());
  EXPECT_EQ(worksheet.front().id, 0x0809);
  EXPECT_EQ(ReadU16At(worksheet.front().payload, 2), 0x0010);  // worksheet
  EXPECT_EQ(worksheet.back().id, 0x000A);
  int codeNames = 0;
  for (const BiffRecord& r : worksheet) {
    if (r.id != 0x01BA) continue;
    ++codeNames;
    EXPECT_EQ(CodeNameText(r.payload), "Sheet1");
  }
  EXPECT_EQ(codeNames, 1);
  EXPECT_EQ(stream.find_first_not_of('\0', worksheet.back().offset + 4), std::string::npos);
}

TEST(LoaderWorkbookReader, RefusesFilesWithoutAProject) {
  const std::string noProject = WriteCompoundFile(CfbEntry::Storage("", {CfbEntry::Stream("Workbook", "x")}));
  EXPECT_THROW(ReadWorkbookModules(noProject), LoaderFormatError);
  EXPECT_THROW(ReadWorkbookModules("Stand-in loader workbook"), LoaderFormatError);
  // A dir stream naming a module whose stream is missing.
  std::vector<CfbEntry> project = WriteVbaProject({{"ThisWorkbook", "source"}});
  CfbEntry& vba = project.at(2);
  ASSERT_EQ(vba.name, "VBA");
  ASSERT_EQ(vba.children.back().name, "ThisWorkbook");
  vba.children.pop_back();
  const CfbEntry root = CfbEntry::Storage("", {CfbEntry::Storage("_VBA_PROJECT_CUR", std::move(project))});
  EXPECT_THROW(ReadWorkbookModules(WriteCompoundFile(root)), LoaderFormatError);
}

}  // namespace

namespace {

// A dir stream that names one module stream for two modules: each would be decompressed
// again, so a small file could stand for any amount of source.
TEST(VbaProjectReader, RefusesAStreamNamedByTwoModules) {
  CfbEntry project = CfbEntry::Storage(kVbaProjectStorage, WriteVbaProject({{"Mod1", "' one\r\n"}, {"Mod2", "' two\r\n"}}));
  for (CfbEntry& child : project.children) {
    if (child.name != "VBA") continue;
    for (CfbEntry& stream : child.children) {
      if (stream.name != "dir") continue;
      std::string dir = OvbaDecompress(stream.data);
      for (size_t at = dir.find("Mod2"); at != std::string::npos; at = dir.find("Mod2", at)) dir.replace(at, 4, "Mod1");
      stream.data = OvbaCompress(dir);
    }
  }
  EXPECT_EQ(ReadVbaModules(CfbEntry::Storage(kVbaProjectStorage, WriteVbaProject({{"Mod1", "x"}, {"Mod2", "y"}}))).size(), 2u);
  EXPECT_THROW(ReadVbaModules(project), LoaderFormatError);
}

// A compressed chunk of a few bytes can stand for 4096; what may come out is bounded.
TEST(VbaProjectReader, DecompressionStopsAtItsLimit) {
  const std::string container = OvbaCompress(std::string(100000, 'a'));
  EXPECT_LT(container.size(), 2000u);
  EXPECT_EQ(OvbaDecompress(container).size(), 100000u);
  EXPECT_THROW(OvbaDecompress(container, 50000), LoaderFormatError);
}

}  // namespace
