// A globals substream with every record the format's grammar requires, in its order
// (interface, code page, protection, window, calculation, formatting: fonts, the built-in
// number formats, sixteen XFs and the Normal style; the sheet list, country, string
// table), and one empty worksheet substream. A host that validates the files it opens
// sends one that lacks a required record to a protected view, where no macro runs.
#include "office/biff_workbook.h"

#include <cstdint>

#include "core/encoding/byte_io.h"
#include "office/biff_records.h"
#include "office/biff_worksheet.h"

namespace {

constexpr uint16_t kGlobalsSubstream = 0x0005;
constexpr uint16_t kCodePageUtf16 = 1200;
constexpr size_t kBoundSheetPositionField = 4;  // after the record header
// The host's own files never keep the workbook stream in the compound file's mini
// stream (under 4096 bytes); ours is padded after its last EOF to match, in whole record
// headers of zeros, so that a reader that walks the stream record by record to its end
// (a scanner, a mail gateway) ends on a record boundary.
constexpr size_t kMinimumStreamSize = 4096;

// The eight currency and accounting formats every workbook stores (the others of the
// built-in formats are implied), in the form a host set up for the United States writes.
constexpr struct {
  uint16_t id;
  const char* code;
} kBuiltInFormats[] = {
    {5, R"("$"#,##0_);\("$"#,##0\))"},
    {6, R"("$"#,##0_);[Red]\("$"#,##0\))"},
    {7, R"("$"#,##0.00_);\("$"#,##0.00\))"},
    {8, R"("$"#,##0.00_);[Red]\("$"#,##0.00\))"},
    {42, R"(_("$"* #,##0_);_("$"* \(#,##0\);_("$"* "-"_);_(@_))"},
    {41, R"(_(* #,##0_);_(* \(#,##0\);_(* "-"_);_(@_))"},
    {44, R"(_("$"* #,##0.00_);_("$"* \(#,##0.00\);_("$"* "-"??_);_(@_))"},
    {43, R"(_(* #,##0.00_);_(* \(#,##0.00\);_(* "-"??_);_(@_))"},
};

std::string WriteAccess() {
  std::string user = BiffUnicodeString("Sheetpack");
  user.resize(112, ' ');
  return user;
}

std::string Font() {
  // 10 points, automatic colour, normal weight, Arial.
  return BiffWords({200, 0x0000, 0x7FFF, 400, 0x0000}) + std::string(4, '\0') + BiffUnicodeString("Arial", true);
}

std::string Format(uint16_t id, const char* code) {
  std::string format;
  AppendU16(format, id);
  return format + BiffUnicodeString(code);
}

std::string Xf(bool style) {
  // Font 0, format General, bottom-aligned, no borders, automatic pattern colours.
  std::string xf = BiffWords({0, 0, static_cast<uint16_t>(style ? 0xFFF5 : 0x0001), 0x0020});
  AppendU8(xf, 0);                  // indent, shrink, reading order
  AppendU8(xf, style ? 0xF4 : 0);   // which attribute groups the XF sets
  xf += std::string(8, '\0');       // borders
  AppendU16(xf, 0x20C0);            // pattern colours 64 and 65
  return xf;
}

void Globals(BiffRecords& r, const BiffWorkbookNames& names) {
  // BIFF8, build 3515 of 1996, written on Windows, lowest BIFF version 8.
  r.Add(BiffId::kBof, BiffWords({0x0600, kGlobalsSubstream, 0x0DBB, 0x07CC, 0x0001, 0x0000, 0x0006, 0x0000}));
  r.Add(BiffId::kInterfaceHdr, BiffWords({kCodePageUtf16}));
  r.Add(BiffId::kMms, BiffWords({0}));
  r.Add(BiffId::kInterfaceEnd);
  r.Add(BiffId::kWriteAccess, WriteAccess());
  r.Add(BiffId::kCodePage, BiffWords({kCodePageUtf16}));
  r.Add(BiffId::kDsf, BiffWords({0}));
  r.Add(BiffId::kRrTabId, BiffWords({1}));  // the one sheet's id
  r.Add(BiffId::kObProj);                   // the file holds a VBA project
  r.Add(BiffId::kCodeName, BiffUnicodeString(names.workbookCodeName));
  for (uint16_t id : {BiffId::kWinProtect, BiffId::kProtect, BiffId::kPassword, BiffId::kProt4Rev,
                      BiffId::kProt4RevPass}) {
    r.Add(id, BiffWords({0}));  // no protection
  }
  r.Add(BiffId::kWindow1, BiffWords({0x0168, 0x001E, 0x3A4C, 0x2328, 0x0038, 0, 0, 1, 0x0258}));
  r.Add(BiffId::kBackup, BiffWords({0}));
  r.Add(BiffId::kHideObj, BiffWords({0}));
  r.Add(BiffId::kDate1904, BiffWords({0}));
  r.Add(BiffId::kCalcPrecision, BiffWords({1}));
  r.Add(BiffId::kRefreshAll, BiffWords({0}));
  r.Add(BiffId::kBookBool, BiffWords({0}));
  for (int i = 0; i < 4; ++i) r.Add(BiffId::kFont, Font());
  for (const auto& format : kBuiltInFormats) r.Add(BiffId::kFormat, Format(format.id, format.code));
  for (int i = 0; i < 15; ++i) r.Add(BiffId::kXf, Xf(true));
  r.Add(BiffId::kXf, Xf(false));
  r.Add(BiffId::kStyle, BiffWords({0x8000, 0xFF00}));  // built-in Normal on XF 0
  r.Add(BiffId::kUsesElfs, BiffWords({0}));
}

}  // namespace

std::string WriteBiffWorkbook(const BiffWorkbookNames& names) {
  BiffRecords r;
  Globals(r, names);
  std::string boundSheet(4, '\0');
  AppendU8(boundSheet, 0);  // visible
  AppendU8(boundSheet, 0);  // worksheet
  const size_t sheetRecord = r.Add(BiffId::kBoundSheet8, boundSheet + BiffUnicodeString(names.sheetName, true));
  r.Add(BiffId::kCountry, BiffWords({1, 1}));
  r.Add(BiffId::kSst, std::string(8, '\0'));  // no strings
  r.Add(BiffId::kExtSst, BiffWords({8}));
  r.Add(BiffId::kEof);
  StoreU32At(r.Bytes(), sheetRecord + kBoundSheetPositionField, static_cast<uint32_t>(r.Size()));
  WriteBiffWorksheet(r, names.sheetCodeName);
  std::string stream = std::move(r.Bytes());
  constexpr size_t kRecordHeader = 4;
  if (stream.size() < kMinimumStreamSize) {
    const size_t padding = (kMinimumStreamSize - stream.size() + kRecordHeader - 1) / kRecordHeader * kRecordHeader;
    stream.resize(stream.size() + padding, '\0');
  }
  return stream;
}
