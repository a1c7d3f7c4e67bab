// Every record the format's worksheet grammar requires, in its order, with the values a
// new sheet of the host has: automatic calculation, A1 references, gridlines shown, no
// page set-up of a printer, standard column width and row height, no cells. A host that
// validates a file before opening it finds nothing missing.
#include "office/biff_worksheet.h"

#include <cstdint>

#include "core/encoding/byte_io.h"

namespace {

constexpr uint16_t kSheetSubstream = 0x0010;
constexpr size_t kIndexDefColWidthField = 4 + 12;  // header, reserved, rwMic, rwMac

std::string CalcDelta() {
  std::string delta;
  AppendF64(delta, 0.001);
  return delta;
}

// No printer settings (fNoPls), portrait, US Letter at 100 %, header and footer margins
// of 0.3 inch.
std::string Setup() {
  constexpr uint16_t kPortrait = 0x0002;
  constexpr uint16_t kNoPrinterSettings = 0x0004;
  std::string setup = BiffWords({1, 100, 1, 1, 1, kPortrait | kNoPrinterSettings, 600, 600});
  AppendF64(setup, 0.3);
  AppendF64(setup, 0.3);
  AppendU16(setup, 1);
  return setup;
}

// The active cell A1 in the top-left pane, selected alone.
std::string Selection() {
  std::string selection;
  AppendU8(selection, 3);  // pnn: the top-left pane
  selection += BiffWords({0, 0, 0, 1, 0, 0});
  AppendU8(selection, 0);
  AppendU8(selection, 0);
  return selection;
}

}  // namespace

void WriteBiffWorksheet(BiffRecords& r, const std::string& codeName) {
  // BIFF8, build 3515 of 1996, written on Windows, lowest BIFF version 8.
  r.Add(BiffId::kBof, BiffWords({0x0600, kSheetSubstream, 0x0DBB, 0x07CC, 0x0001, 0x0000, 0x0006, 0x0000}));
  // No rows: the index holds only where DefColWidth lies, filled in below.
  const size_t index = r.Add(BiffId::kIndex, std::string(16, '\0'));
  r.Add(BiffId::kCalcMode, BiffWords({1}));  // automatic
  r.Add(BiffId::kCalcCount, BiffWords({100}));
  r.Add(BiffId::kCalcRefMode, BiffWords({1}));  // A1
  r.Add(BiffId::kCalcIter, BiffWords({0}));
  r.Add(BiffId::kCalcDelta, CalcDelta());
  r.Add(BiffId::kCalcSaveRecalc, BiffWords({1}));
  r.Add(BiffId::kPrintRowCol, BiffWords({0}));
  r.Add(BiffId::kPrintGrid, BiffWords({0}));
  r.Add(BiffId::kGridSet, BiffWords({1}));
  r.Add(BiffId::kGuts, BiffWords({0, 0, 0, 0}));
  r.Add(BiffId::kDefaultRowHeight, BiffWords({0, 255}));  // 12.75 points, in twips
  // Automatic page breaks shown, summary rows below and columns right, outline symbols.
  r.Add(BiffId::kWsBool, BiffWords({0x04C1}));
  r.Add(BiffId::kHeader);  // empty: no header
  r.Add(BiffId::kFooter);
  r.Add(BiffId::kHCenter, BiffWords({0}));
  r.Add(BiffId::kVCenter, BiffWords({0}));
  r.Add(BiffId::kSetup, Setup());
  const size_t defColWidth = r.Add(BiffId::kDefColWidth, BiffWords({8}));
  StoreU32At(r.Bytes(), index + kIndexDefColWidthField, static_cast<uint32_t>(defColWidth));
  r.Add(BiffId::kDimensions, std::string(14, '\0'));  // no cells
  // Selected and shown, with gridlines, headings, zeros and outline symbols, in the
  // automatic grid colour (64), at normal view.
  r.Add(BiffId::kWindow2, BiffWords({0x06B6, 0, 0, 64, 0, 0, 0, 0, 0}));
  r.Add(BiffId::kSelection, Selection());
  r.Add(BiffId::kCodeName, BiffUnicodeString(codeName));
  r.Add(BiffId::kEof);
}
