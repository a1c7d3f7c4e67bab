#pragma once
// Compound files (MS-CFB): a small file system of storages and streams in one file, the
// container of .xls workbooks and of their VBA projects. The writer makes version 3
// files (512-byte sectors); the reader takes what the writer makes and files like it.
#include <string>
#include <string_view>
#include <vector>

// A storage (with entries) or a stream (with bytes). Names are UTF-8.
struct CfbEntry {
  std::string name;
  bool storage = false;
  std::string data;
  std::vector<CfbEntry> children;
  // A storage's class id, 16 bytes as stored, or empty for none (all zero).
  std::string clsid;

  static CfbEntry Storage(std::string name, std::vector<CfbEntry> children) {
    return {std::move(name), true, {}, std::move(children), {}};
  }
  static CfbEntry Stream(std::string name, std::string data) { return {std::move(name), false, std::move(data), {}, {}}; }

  // The entry at a path of names separated by '/', compared without regard to ASCII
  // case as the format does; null when there is none.
  const CfbEntry* Find(std::string_view path) const;
};

// The format forbids these characters in names; '/' would also break Find's paths.
bool HasForbiddenNameCharacter(std::string_view name);

// root is the root storage; its name is ignored. Throws LoaderFormatError for a tree the
// format cannot hold (a name of 32 UTF-16 units or more or with a forbidden character, a
// file of more sectors than 32-bit sector numbers count).
std::string WriteCompoundFile(const CfbEntry& root);
// The same, taking the tree's buffers over: the largest stream's buffer becomes the
// file's, so with room in its capacity for the rest of the file (the header, the FAT, the
// directory, the mini stream and the other streams; for one large stream less than 1 %
// of it) that stream is never copied.
std::string WriteCompoundFile(CfbEntry&& root);

// Throws LoaderFormatError when the file is not a compound file or is damaged.
CfbEntry ReadCompoundFile(std::string_view file);

// The order of entries in a storage's tree: shorter names first, then by the upper-case
// form of their UTF-16 units.
bool CfbNameLess(std::u16string_view a, std::u16string_view b);
