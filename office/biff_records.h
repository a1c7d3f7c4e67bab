#pragma once
// Building blocks of a BIFF8 stream (MS-XLS): records of a 16-bit id and a 16-bit size,
// and the field encodings the workbook's records share.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

// Record ids of the records the loader workbook writes, by their names in the format.
namespace BiffId {
constexpr uint16_t kBof = 0x0809;
constexpr uint16_t kEof = 0x000A;
constexpr uint16_t kInterfaceHdr = 0x00E1;
constexpr uint16_t kMms = 0x00C1;
constexpr uint16_t kInterfaceEnd = 0x00E2;
constexpr uint16_t kWriteAccess = 0x005C;
constexpr uint16_t kCodePage = 0x0042;
constexpr uint16_t kDsf = 0x0161;
constexpr uint16_t kRrTabId = 0x013D;
constexpr uint16_t kObProj = 0x00D3;
constexpr uint16_t kCodeName = 0x01BA;
constexpr uint16_t kWinProtect = 0x0019;
constexpr uint16_t kProtect = 0x0012;
constexpr uint16_t kPassword = 0x0013;
constexpr uint16_t kProt4Rev = 0x01AF;
constexpr uint16_t kProt4RevPass = 0x01BC;
constexpr uint16_t kWindow1 = 0x003D;
constexpr uint16_t kBackup = 0x0040;
constexpr uint16_t kHideObj = 0x008D;
constexpr uint16_t kDate1904 = 0x0022;
constexpr uint16_t kCalcPrecision = 0x000E;
constexpr uint16_t kRefreshAll = 0x01B7;
constexpr uint16_t kBookBool = 0x00DA;
constexpr uint16_t kFont = 0x0031;
constexpr uint16_t kFormat = 0x041E;
constexpr uint16_t kXf = 0x00E0;
constexpr uint16_t kStyle = 0x0293;
constexpr uint16_t kUsesElfs = 0x0160;
constexpr uint16_t kBoundSheet8 = 0x0085;
constexpr uint16_t kCountry = 0x008C;
constexpr uint16_t kSst = 0x00FC;
constexpr uint16_t kExtSst = 0x00FF;
// The worksheet substream's.
constexpr uint16_t kIndex = 0x020B;
constexpr uint16_t kCalcMode = 0x000D;
constexpr uint16_t kCalcCount = 0x000C;
constexpr uint16_t kCalcRefMode = 0x000F;
constexpr uint16_t kCalcIter = 0x0011;
constexpr uint16_t kCalcDelta = 0x0010;
constexpr uint16_t kCalcSaveRecalc = 0x005F;
constexpr uint16_t kPrintRowCol = 0x002A;
constexpr uint16_t kPrintGrid = 0x002B;
constexpr uint16_t kGridSet = 0x0082;
constexpr uint16_t kGuts = 0x0080;
constexpr uint16_t kDefaultRowHeight = 0x0225;
constexpr uint16_t kWsBool = 0x0081;
constexpr uint16_t kHeader = 0x0014;
constexpr uint16_t kFooter = 0x0015;
constexpr uint16_t kHCenter = 0x0083;
constexpr uint16_t kVCenter = 0x0084;
constexpr uint16_t kSetup = 0x00A1;
constexpr uint16_t kDefColWidth = 0x0055;
constexpr uint16_t kDimensions = 0x0200;
constexpr uint16_t kWindow2 = 0x023E;
constexpr uint16_t kSelection = 0x001D;
}  // namespace BiffId

class BiffRecords {
 public:
  // Appends one record and returns the stream position of its header.
  size_t Add(uint16_t id, const std::string& payload = {});
  size_t Size() const { return bytes_.size(); }
  std::string& Bytes() { return bytes_; }

 private:
  std::string bytes_;
};

// Little-endian 16-bit words, the shape of most small records.
std::string BiffWords(std::initializer_list<uint16_t> words);
// An XLUnicodeString of 16-bit characters from UTF-8 text; the short form has an 8-bit
// count (ShortXLUnicodeString).
std::string BiffUnicodeString(const std::string& text, bool shortForm = false);
