#pragma once
// Packed items of type EXTRSC in the launcher's own executable.
#include <string>

// The resource's bytes, still packed. False (out untouched) when missing or empty.
bool LoadPackedItem(int id, std::string& out);
// LoadPackedItem, then InflatePackedItem.
bool ReadPackedItem(int id, std::string& out);
