#pragma once
// The worksheet substream of an empty sheet whose code name binds it to a VBA document
// module.
#include <string>

#include "office/biff_records.h"

// Appends the substream, from its BOF to its EOF, at the end of `records`.
void WriteBiffWorksheet(BiffRecords& records, const std::string& codeName);
