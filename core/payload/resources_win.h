#pragma once
// Packed items of type EXTRSC in an executable's resources: the launcher reads its own,
// the runtime add-in those of the launcher's file, loaded as a data file.
#include <windows.h>

#include <string>

// The resource's bytes, still packed. False (out untouched) when missing or empty.
bool LoadPackedItem(HMODULE module, int id, std::string& out);
// LoadPackedItem, then InflatePackedItem.
bool ReadPackedItem(HMODULE module, int id, std::string& out);

// The same from the launcher's own executable.
bool LoadPackedItem(int id, std::string& out);
bool ReadPackedItem(int id, std::string& out);
