#include "office/biff_workbook.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "core/encoding/byte_io.h"
#include "core/encoding/utf.h"
#include "office/biff_records.h"

namespace {

struct Record {
  size_t offset;
  uint16_t id;
  std::string payload;
};

// One substream, from the record at `offset` to its EOF.
std::vector<Record> Substream(const std::string& stream, size_t offset) {
  std::vector<Record> records;
  ByteReader reader(stream, offset);
  while (reader.Remaining() >= 4) {
    const size_t at = reader.Position();
    const uint16_t id = reader.U16();
    const uint16_t size = reader.U16();
    EXPECT_LE(size, reader.Remaining()) << "record " << id << " at " << at;
    records.push_back({at, id, std::string(reader.Take(size))});
    if (id == BiffId::kEof) break;
  }
  return records;
}

const Record& Only(const std::vector<Record>& records, uint16_t id) {
  const Record* found = nullptr;
  for (const Record& r : records) {
    if (r.id != id) continue;
    EXPECT_EQ(found, nullptr) << "record " << id << " twice";
    found = &r;
  }
  if (!found) ADD_FAILURE() << "no record " << id;
  static const Record kMissing{0, 0, std::string(64, '\0')};
  return found ? *found : kMissing;
}

class BiffWorkbook : public ::testing::Test {
 protected:
  const std::string stream_ = WriteBiffWorkbook({"ThisWorkbook", "Sheet1", "Sheet1"});
  const std::vector<Record> globals_ = Substream(stream_, 0);
  const std::vector<Record> sheet_ = Substream(stream_, ReadU32At(Only(globals_, BiffId::kBoundSheet8).payload, 0));
};

// The fixed-size records have the sizes of their layouts; a field too many or too few
// shifts every later field for a reader.
TEST_F(BiffWorkbook, RecordsHaveTheSizesOfTheirLayouts) {
  const std::map<uint16_t, size_t> sizes = {
      {BiffId::kUsesElfs, 2},    {BiffId::kIndex, 16},         {BiffId::kCalcMode, 2},
      {BiffId::kCalcCount, 2},   {BiffId::kCalcRefMode, 2},    {BiffId::kCalcIter, 2},
      {BiffId::kCalcDelta, 8},   {BiffId::kCalcSaveRecalc, 2}, {BiffId::kPrintRowCol, 2},
      {BiffId::kPrintGrid, 2},   {BiffId::kGridSet, 2},        {BiffId::kGuts, 8},
      {BiffId::kDefaultRowHeight, 4}, {BiffId::kWsBool, 2},    {BiffId::kHeader, 0},
      {BiffId::kFooter, 0},      {BiffId::kHCenter, 2},        {BiffId::kVCenter, 2},
      {BiffId::kSetup, 34},      {BiffId::kDefColWidth, 2},    {BiffId::kDimensions, 14},
      {BiffId::kWindow2, 18},    {BiffId::kSelection, 15},
  };
  std::set<uint16_t> seen;
  for (const auto* substream : {&globals_, &sheet_}) {
    for (const Record& r : *substream) {
      auto size = sizes.find(r.id);
      if (size == sizes.end()) continue;
      EXPECT_EQ(r.payload.size(), size->second) << "record " << r.id;
      seen.insert(r.id);
    }
  }
  EXPECT_EQ(seen.size(), sizes.size());
}

// The index names where DefColWidth lies, and no rows.
TEST_F(BiffWorkbook, IndexPointsAtDefColWidth) {
  const std::string& index = Only(sheet_, BiffId::kIndex).payload;
  EXPECT_EQ(ReadU32At(index, 0), 0u);  // reserved
  EXPECT_EQ(ReadU32At(index, 4), 0u);  // first row
  EXPECT_EQ(ReadU32At(index, 8), 0u);  // past the last row
  const Record& defColWidth = Only(sheet_, BiffId::kDefColWidth);
  EXPECT_EQ(ReadU32At(index, 12), defColWidth.offset);
  EXPECT_EQ(ReadU16At(defColWidth.payload, 0), 8);
}

TEST_F(BiffWorkbook, SheetHasTheDefaultsOfANewSheet) {
  EXPECT_EQ(ReadU16At(Only(sheet_, BiffId::kCalcMode).payload, 0), 1);     // automatic
  EXPECT_EQ(ReadU16At(Only(sheet_, BiffId::kCalcRefMode).payload, 0), 1);  // A1
  EXPECT_EQ(ReadU16At(Only(sheet_, BiffId::kCalcCount).payload, 0), 100);
  EXPECT_EQ(ByteReader(Only(sheet_, BiffId::kCalcDelta).payload).F64(), 0.001);
  EXPECT_EQ(ReadU16At(Only(sheet_, BiffId::kDefaultRowHeight).payload, 2), 255);
  const std::string& setup = Only(sheet_, BiffId::kSetup).payload;
  EXPECT_EQ(ReadU16At(setup, 2), 100);        // scale
  EXPECT_EQ(ReadU16At(setup, 10) & 0x0004, 4);  // no printer settings
  ByteReader margins(setup, 16);
  EXPECT_EQ(margins.F64(), 0.3);
  EXPECT_EQ(margins.F64(), 0.3);
  EXPECT_EQ(margins.U16(), 1);  // copies
  EXPECT_EQ(ReadU16At(Only(globals_, BiffId::kUsesElfs).payload, 0), 0);
}

// The eight built-in formats a workbook must store, each an XLUnicodeString that fills
// its record exactly.
TEST_F(BiffWorkbook, GlobalsStoreTheBuiltInFormats) {
  std::set<uint16_t> ids;
  for (const Record& r : globals_) {
    if (r.id != BiffId::kFormat) continue;
    ids.insert(ReadU16At(r.payload, 0));
    const uint16_t characters = ReadU16At(r.payload, 2);
    ASSERT_EQ(r.payload[4], 1);
    ASSERT_EQ(r.payload.size(), 5u + 2u * characters);
    const std::string code = Utf16ToUtf8(Utf16LeBytesToString(std::string_view(r.payload).substr(5)));
    EXPECT_NE(code.find("#,##0"), std::string::npos) << code;
  }
  EXPECT_EQ(ids, (std::set<uint16_t>{5, 6, 7, 8, 41, 42, 43, 44}));
}

TEST(BiffRecords, AddReturnsTheHeaderPosition) {
  BiffRecords records;
  EXPECT_EQ(records.Add(0x0809, "ab"), 0u);
  EXPECT_EQ(records.Add(0x000A), 6u);
  EXPECT_EQ(records.Bytes(), std::string("\x09\x08\x02\x00" "ab" "\x0A\x00\x00\x00", 10));
  EXPECT_EQ(BiffUnicodeString("A\xC3\xA9", true), std::string("\x02\x01" "A\x00\xE9\x00", 6));
  EXPECT_EQ(BiffUnicodeString(""), std::string("\x00\x00\x01", 3));
}

}  // namespace
