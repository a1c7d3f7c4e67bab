// A globals substream with the records a host expects of any workbook (interface, code
// page, protection, window, calculation, formatting: fonts, sixteen XFs and the Normal
// style) and one worksheet substream that is empty but for its window and code name.
#include "office/biff_workbook.h"

#include <cstdint>

#include "core/encoding/byte_io.h"
#include "core/encoding/utf.h"

namespace {

constexpr uint16_t kBof = 0x0809;
constexpr uint16_t kEof = 0x000A;
constexpr uint16_t kCodeName = 0x01BA;
constexpr uint16_t kObjProj = 0x00D3;
constexpr uint16_t kBoundSheet = 0x0085;
constexpr uint16_t kCodePageUtf16 = 1200;
constexpr size_t kBoundSheetPositionField = 4;  // after the record header
// The host's own files never keep the workbook stream in the compound file's mini
// stream (under 4096 bytes); ours is padded after its last EOF to match, in whole record
// headers of zeros, so that a reader that walks the stream record by record to its end
// (a scanner, a mail gateway) ends on a record boundary.
constexpr size_t kMinimumStreamSize = 4096;

class Records {
 public:
  size_t Add(uint16_t id, const std::string& payload = {}) {
    const size_t start = bytes_.size();
    AppendU16(bytes_, id);
    AppendU16(bytes_, static_cast<uint16_t>(payload.size()));
    bytes_ += payload;
    return start;
  }
  std::string& Bytes() { return bytes_; }

 private:
  std::string bytes_;
};

std::string Bytes(std::initializer_list<uint16_t> words) {
  std::string out;
  for (uint16_t word : words) AppendU16(out, word);
  return out;
}

// XLUnicodeString with 16-bit characters; the Short form has an 8-bit count.
std::string UnicodeString(const std::string& text, bool shortForm) {
  const std::u16string units = Utf8ToUtf16(text);
  std::string out;
  if (shortForm) {
    AppendU8(out, static_cast<uint8_t>(units.size()));
  } else {
    AppendU16(out, static_cast<uint16_t>(units.size()));
  }
  AppendU8(out, 1);  // fHighByte
  return out + StringToUtf16LeBytes(units);
}

std::string Bof(uint16_t substreamType) {
  // BIFF8, build 3515 of 1996, written on Windows, lowest BIFF version 8.
  return Bytes({0x0600, substreamType, 0x0DBB, 0x07CC, 0x0001, 0x0000, 0x0006, 0x0000});
}

std::string WriteAccess() {
  std::string user = UnicodeString("Sheetpack", false);
  user.resize(112, ' ');
  return user;
}

std::string Font() {
  // 10 points, automatic colour, normal weight, Arial.
  return Bytes({200, 0x0000, 0x7FFF, 400, 0x0000}) + std::string(4, '\0') + UnicodeString("Arial", true);
}

std::string Xf(bool style) {
  // Font 0, format General, bottom-aligned, no borders, automatic pattern colours.
  std::string xf = Bytes({0, 0, static_cast<uint16_t>(style ? 0xFFF5 : 0x0001), 0x0020});
  AppendU8(xf, 0);                  // indent, shrink, reading order
  AppendU8(xf, style ? 0xF4 : 0);   // which attribute groups the XF sets
  xf += std::string(8, '\0');       // borders
  AppendU16(xf, 0x20C0);            // pattern colours 64 and 65
  return xf;
}

void Globals(Records& r, const BiffWorkbookNames& names) {
  r.Add(kBof, Bof(0x0005));
  r.Add(0x00E1, Bytes({kCodePageUtf16}));  // InterfaceHdr
  r.Add(0x00C1, Bytes({0}));               // Mms
  r.Add(0x00E2);                           // InterfaceEnd
  r.Add(0x005C, WriteAccess());
  r.Add(0x0042, Bytes({kCodePageUtf16}));  // CodePage
  r.Add(0x0161, Bytes({0}));               // DSF
  r.Add(0x013D, Bytes({1}));               // RRTabId: the one sheet's id
  r.Add(kObjProj);
  r.Add(kCodeName, UnicodeString(names.workbookCodeName, false));
  for (uint16_t id : {0x0019, 0x0012, 0x0013, 0x01AF, 0x01BC}) r.Add(id, Bytes({0}));  // no protection
  r.Add(0x003D, Bytes({0x0168, 0x001E, 0x3A4C, 0x2328, 0x0038, 0, 0, 1, 0x0258}));   // Window1
  r.Add(0x0040, Bytes({0}));               // Backup
  r.Add(0x008D, Bytes({0}));               // HideObj
  r.Add(0x0022, Bytes({0}));               // Date1904
  r.Add(0x000E, Bytes({1}));               // CalcPrecision
  r.Add(0x01B7, Bytes({0}));               // RefreshAll
  r.Add(0x00DA, Bytes({0}));               // BookBool
  for (int i = 0; i < 4; ++i) r.Add(0x0031, Font());
  for (int i = 0; i < 15; ++i) r.Add(0x00E0, Xf(true));
  r.Add(0x00E0, Xf(false));
  r.Add(0x0293, Bytes({0x8000, 0xFF00}));  // Style: built-in Normal on XF 0
}

void Sheet(Records& r, const BiffWorkbookNames& names) {
  r.Add(kBof, Bof(0x0010));
  r.Add(0x0200, std::string(14, '\0'));    // Dimensions: no cells
  r.Add(0x023E, Bytes({0x06B6, 0, 0, 64, 0, 0, 0, 0, 0}));  // Window2: selected, grid, headers
  r.Add(kCodeName, UnicodeString(names.sheetCodeName, false));
  r.Add(kEof);
}

}  // namespace

std::string WriteBiffWorkbook(const BiffWorkbookNames& names) {
  Records r;
  Globals(r, names);
  std::string boundSheet(4, '\0');
  AppendU8(boundSheet, 0);  // visible
  AppendU8(boundSheet, 0);  // worksheet
  const size_t sheetRecord = r.Add(kBoundSheet, boundSheet + UnicodeString(names.sheetName, true));
  r.Add(0x008C, Bytes({1, 1}));            // Country
  r.Add(0x00FC, std::string(8, '\0'));     // SST, empty
  r.Add(0x00FF, Bytes({8}));               // ExtSST
  r.Add(kEof);
  StoreU32At(r.Bytes(), sheetRecord + kBoundSheetPositionField, static_cast<uint32_t>(r.Bytes().size()));
  Sheet(r, names);
  std::string stream = std::move(r.Bytes());
  constexpr size_t kRecordHeader = 4;
  if (stream.size() < kMinimumStreamSize) {
    const size_t padding = (kMinimumStreamSize - stream.size() + kRecordHeader - 1) / kRecordHeader * kRecordHeader;
    stream.resize(stream.size() + padding, '\0');
  }
  return stream;
}
