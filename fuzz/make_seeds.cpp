// Writes a seed corpus for every harness: records, tables and files made with the
// project's own writers and test fixtures, so each fuzzer starts from inputs that
// pass the first checks instead of having to discover magics and layouts by chance.
// Usage: make_seeds OUTPUT_FOLDER SOURCE_FOLDER
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "core/payload/app_settings.h"
#include "core/encoding/byte_io.h"
#include "core/payload/packed_item.h"
#include "core/payload/saved_state.h"
#include "core/text/text_overrides.h"
#include "core/encoding/utf.h"
#include "office/compound_file.h"
#include "packer/loader/loader_workbook.h"
#include "office/ovba_compression.h"
#include "office/vba_project.h"
#include "packer/resource_section.h"
#include "compound_file_fixture.h"
#include "packer_pe_fixture.h"
#include "zip_fixture.h"

namespace fs = std::filesystem;

namespace {

fs::path gOutput;
fs::path gSource;

void Seed(const std::string& harness, const std::string& name, const std::string& bytes) {
  fs::create_directories(gOutput / harness);
  std::ofstream(gOutput / harness / name, std::ios::binary) << bytes;
}

std::string ReadFixture(const fs::path& relative) {
  std::ifstream in(gSource / relative, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Utf16Bytes(const std::u16string& text) { return StringToUtf16LeBytes(text); }

std::string Workbook() { return MarkWorkbook(ReadFixture("examples/budget/Budget.xlsm")); }

AppSettingsRecord SampleRecord() {
  AppSettingsRecord record;
  record.appVersion = 0x01020304;
  record.optionFlags = OPT_SAVED_STATE | OPT_SHOW_SPLASH | OPT_SINGLE_INSTANCE;
  record.packTime = 45000.5;
  record.appTitle = u"Budget <?APPVER?>";
  record.appInfo = u"Household budget \U0001F4B0";
  record.authorContact = u"mailto:author@example.com";
  record.startPassword = u"secret";
  return record;
}

// A record of an old layout: `size`-byte header with the lengths where that layout
// keeps them, then the body the current reader expects.
std::string OldLayoutRecord(uint16_t size, size_t titleAt, size_t infoAt, uint32_t version) {
  const std::string title = Utf16Bytes(u"Old budget");
  const std::string info = Utf16Bytes(u"From an old packer");
  std::string header(size, '\0');
  StoreU16At(header, 0, size);
  StoreU32At(header, 4, 0x01000000);
  header[titleAt] = static_cast<char>(title.size());
  StoreU16At(header, infoAt, static_cast<uint16_t>(info.size()));
  if (size >= 72) StoreU32At(header, size == 104 ? 68 : 60, kSettingsMagic);
  if (size == 104) StoreU32At(header, 92, version);
  return header + title + info + std::string(12, '\0');
}

void SettingsSeeds() {
  const std::string current = WriteAppSettings(SampleRecord());
  std::string withTrailer = current;
  AppendU32(withTrailer, 7);
  AppendU32(withTrailer, 2);
  for (uint32_t value : {1u, 2u}) {
    AppendU32(withTrailer, value);
    AppendU32(withTrailer, 3);
    withTrailer += "abc";
  }
  const std::map<std::string, std::string> records = {
      {"current", current},
      {"trailing-block", withTrailer},
      {"layout-24", OldLayoutRecord(24, 18, 20, 0)},
      {"layout-28", OldLayoutRecord(28, 22, 24, 0)},
      {"layout-72", OldLayoutRecord(72, 26, 28, 0)},
      {"layout-80", OldLayoutRecord(80, 26, 28, 0)},
      {"layout-104-2.1", OldLayoutRecord(104, 26, 28, 0x02010000)},
      {"layout-104-2.3", OldLayoutRecord(104, 26, 28, 0x02030000)},
  };
  // Steering bytes: keep the layout (7), pack neither; the second record splits off at 0.
  for (const auto& [name, record] : records) {
    Seed("app_settings", name, std::string("\x07\x00\x00", 3) + record);
    Seed("saved_state", name, WriteSavedState({"state", record, Workbook(), ""}, kSettingsMagic));
  }
  // Both parses: the item's record, then a saved-state record over it.
  const uint16_t split = static_cast<uint16_t>(current.size());
  std::string both("\x07", 1);
  AppendU16(both, split);
  Seed("app_settings", "two-records", both + current + records.at("layout-80"));
  Seed("app_settings", "packed", std::string("\x0F\x00\x00", 3) + current);
  Seed("saved_state", "packed-sections",
       WriteSavedState({"packed", PackItem(current), PackItem(Workbook()), "extra"}, kSettingsMagic));
  Seed("saved_state", "empty-workbook", WriteSavedState({"", current, "", ""}, kSettingsMagic));
}

void ItemSeeds() {
  const std::string notice = ReadFixture("examples/budget/notice.txt");
  Seed("packed_item", "workbook", PackItem(Workbook()));
  Seed("packed_item", "notice", PackItem(notice));
  Seed("packed_item", "settings", PackItem(WriteAppSettings(SampleRecord())));
  Seed("packed_item", "plain", notice);
  for (const char* fixture : {"addin-10-bytes.bin", "addin-11-bytes.bin", "loader.bin"}) {
    Seed("packed_item", fixture, ReadFixture(fs::path("tests/win/items") / fixture));
  }

  const std::map<int32_t, std::string> texts = {
      {7, "Achtung"}, {12, "Annehmen"}, {13, "Ablehnen"}, {16, "Falsches Passwort\\nNoch einmal"},
      {41, "<?APPNAME?> l\xC3\xA4uft schon"}};
  Seed("text_overrides", "table", WriteTextOverrides(texts));
  Seed("text_overrides", "packed", PackItem(WriteTextOverrides(texts)));
  Seed("text_overrides", "placeholder", "1");

  Seed("notice_text", "notice", notice);
  Seed("notice_text", "utf16-mark", "\xFF\xFE" + Utf16Bytes(u"Welcome to <?APPNAME?>"));
  Seed("notice_text", "utf16", Utf16Bytes(u"Welcome to <?APPNAME?>"));
  Seed("notice_text", "rtf", "{\\rtf1\\ansi Hello <?APPNAME?>\\par}");
  Seed("notice_text", "utf8-mark", "\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F <?APPVER?>");
  Seed("notice_text", "ansi", "Caf\xE9 <?APPNAME?>");
}

void TextSeeds() {
  const std::string value = Utf16Bytes(u"Budget");
  Seed("macro_expander", "narrow", std::string(1, static_cast<char>(value.size())) + value +
                                       "Version <?APPVER?> of <?APPNAME?>, <?Budget?> <?" "?> <?> a<?APPNAME");
  Seed("macro_expander", "wide", std::string(1, static_cast<char>(value.size())) + value +
                                     Utf16Bytes(u"<?APPNAME?><?<?APPNAME?> <?Budget?>"));

  const std::vector<std::vector<std::u16string>> lines = {
      {u"C:\\Apps\\Budget.exe", u"-clnx", u"C:\\Temp\\a\\Budget.xls", u"-clnd", u"C:\\Temp\\a\\pelkostub.dll"},
      {u"Budget.exe", u"-p", u"-xlstest", u"-P", u"secret", u"-XLSTESTING"},
      {u"Budget.exe", u"-clnd"},
      {u"Budget.exe", u"-silnt 0x1F", u"-silnt-12", u"-silnt  +ffffffffffffffffff"},
  };
  for (size_t i = 0; i < lines.size(); ++i) {
    std::u16string joined;
    for (const std::u16string& arg : lines[i]) joined += arg + u'\0';
    Seed("command_line", "line-" + std::to_string(i), Utf16Bytes(joined.substr(0, joined.size() - 1)));
  }
}

void PackerSeeds() {
  ResourceTree tree;
  tree[ResourceName(PackedItemType())][ResourceName(1100)][1033] = {WriteAppSettings(SampleRecord()), 0};
  tree[ResourceName(PackedItemType())][ResourceName(1035)][1033] = {"1", 0};
  tree[ResourceName(kResourceTypeGroupIcon)][ResourceName(1)][1033] = {std::string(20, '\1'), 0};
  tree[ResourceName(u"NAMED")][ResourceName(u"ITEM")][0] = {"named", 1252};

  for (bool pe32Plus : {true, false}) {
    FixtureImage image;
    image.pe32Plus = pe32Plus;
    image.sections = {{".text", std::string(0x40, '\xC3'), 0, 0x60000020}, {".rsrc", ""}, {".reloc", "relocs"}};
    const uint32_t rva = image.SectionRva(1);
    image.sections[1].raw = WriteResourceSection(tree, rva);
    image.directories[kDirectoryResource] = {rva, static_cast<uint32_t>(image.sections[1].raw.size())};
    image.directories[kDirectoryBaseReloc] = {image.SectionRva(2), 6};
    const std::string name = pe32Plus ? "pe32plus" : "pe32";
    Seed("pe_resources", name + "-reloc-last", image.Build());
    image.sections.pop_back();
    image.directories.erase(kDirectoryBaseReloc);
    image.overlay = "overlay";
    Seed("pe_resources", name + "-resources-last", image.Build());
  }
  FixtureImage bare;
  bare.sections = {{".text", "code"}};
  Seed("pe_resources", "no-resources", bare.Build());

  const std::string ico = ReadFixture("launcher/res/sheetpack.ico");
  std::string group;
  for (uint16_t field : {0, 1, 2}) AppendU16(group, field);
  for (uint16_t id : {1, 2}) {
    group += std::string("\x20\x20\x00\x00\x01\x00\x20\x00", 8);
    AppendU32(group, 4);
    AppendU16(group, id);
  }
  Seed("icon_file", "application-icon", std::string(1, static_cast<char>(group.size())) + group + ico);
  Seed("icon_file", "no-old-group", std::string(1, 0) + ico);
}

std::string Patched(std::string file, size_t offset, uint32_t value) {
  StoreU32At(file, offset, value);
  return file;
}

// Damaged loaders of the kinds that once made a reader outgrow its input, so that the
// fuzzer starts next to them: a FAT sector listed twice, the directory's chain pointing
// at itself, one module stream named by two modules, and a directory whose entries are
// linked as one long list (a walk that recursed once per link would run out of stack).
void HostileLoaderSeeds() {
  const std::string loader = WriteLoaderWorkbook();
  const uint32_t directory = ReadU32At(loader, 0x30);
  const size_t fat = (size_t{ReadU32At(loader, 0x4C)} + 1) * 512;
  // Two FAT sectors in the header, both the same one.
  Seed("loader_workbook", "fat-sector-listed-twice",
       Patched(Patched(loader, 0x2C, 2), 0x4C + 4, ReadU32At(loader, 0x4C)));
  Seed("loader_workbook", "directory-chain-into-itself", Patched(loader, fat + 4 * directory, directory));

  std::vector<CfbEntry> project = WriteVbaProject({{"Mod1", "' one\r\n"}, {"Mod2", "' two\r\n"}});
  for (CfbEntry& child : project) {
    for (CfbEntry& stream : child.children) {
      if (stream.name != "dir") continue;
      std::string dir = OvbaDecompress(stream.data);
      for (size_t at = dir.find("Mod2"); at != std::string::npos; at = dir.find("Mod2", at)) dir.replace(at, 4, "Mod1");
      stream.data = OvbaCompress(dir);
    }
  }
  Seed("loader_workbook", "module-stream-named-twice",
       WriteCompoundFile(CfbEntry::Storage("", {CfbEntry::Storage(kVbaProjectStorage, std::move(project))})));

  Seed("loader_workbook", "directory-as-one-long-list", DirectoryAsOneLongList(300));
}

// The written loader, a compound file with a stream of each size class, and the
// documented compression examples as containers on their own.
void LoaderSeeds() {
  Seed("loader_workbook", "loader", WriteLoaderWorkbook());
  Seed("loader_workbook", "tree",
       WriteCompoundFile(CfbEntry::Storage("", {CfbEntry::Stream("small", "bytes"), CfbEntry::Stream("large", std::string(5000, 'x')),
                                                CfbEntry::Storage("S", {CfbEntry::Stream("inner", "")})})));
  Seed("loader_workbook", "compressed-text", OvbaCompress("#aaabcdefaaaaghijaaaaaklaaamnopqaaaaaaaaaaaarstuvwxyzaaa"));
  Seed("loader_workbook", "compressed-source", OvbaCompress(LoaderMacroSource()));
  HostileLoaderSeeds();
}

// Packages of each kind the check tells apart, a zip64 archive and an .xls.
void WorkbookSeeds() {
  Seed("workbook_check", "xlsm", OoxmlFixture("application/vnd.ms-excel.sheet.macroEnabled.main+xml", true));
  Seed("workbook_check", "xlsx", OoxmlFixture("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml", false));
  Seed("workbook_check", "zip64", ZipFixture({{"[Content_Types].xml", "<Types/>"}, {"stored", "bytes", false}}, "", true));
  std::string bof;
  for (uint16_t word : {0x0809, 16, 0x0600, 0x0005, 0x0DBB, 0x07CC, 1, 0, 6, 0}) AppendU16(bof, word);
  Seed("workbook_check", "xls", WriteCompoundFile(CfbEntry::Storage("", {CfbEntry::Stream("Workbook", bof)})));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_seeds OUTPUT_FOLDER SOURCE_FOLDER\n");
    return 2;
  }
  gOutput = argv[1];
  gSource = argv[2];
  SettingsSeeds();
  ItemSeeds();
  TextSeeds();
  PackerSeeds();
  LoaderSeeds();
  WorkbookSeeds();
  return 0;
}
