// The data-space streams say, in the format's length-prefixed UTF-16 strings, that the
// EncryptedPackage stream is stored through the "StrongEncryptionDataSpace", whose one
// transform is the encryption transform. Hosts look for them before the encryption itself.
#include "office/encrypted_package_file.h"

#include <cstdint>

#include "core/encoding/byte_io.h"
#include "office/compound_file.h"
#include "office/loader_format_error.h"

namespace {

constexpr char kDataSpaces[] = "\x06" "DataSpaces";
constexpr char kDataSpaceName[] = "StrongEncryptionDataSpace";
constexpr char kTransformName[] = "StrongEncryptionTransform";

// A length-prefixed UTF-16 string padded to a multiple of 4 bytes (ASCII text only here).
void AppendPrefixedText(std::string& out, std::string_view ascii) {
  AppendU32(out, static_cast<uint32_t>(ascii.size() * 2));
  for (const char c : ascii) AppendU16(out, static_cast<uint8_t>(c));
  while (out.size() % 4 != 0) out += '\0';
}

void AppendVersion(std::string& out) {  // major 1, minor 0
  AppendU16(out, 1);
  AppendU16(out, 0);
}

std::string VersionStream() {
  std::string out;
  AppendPrefixedText(out, "Microsoft.Container.DataSpaces");
  AppendVersion(out);  // reader
  AppendVersion(out);  // updater
  AppendVersion(out);  // writer
  return out;
}

std::string DataSpaceMap() {
  std::string entry;
  AppendU32(entry, 1);  // one reference component
  AppendU32(entry, 0);  // ... a stream
  AppendPrefixedText(entry, "EncryptedPackage");
  AppendPrefixedText(entry, kDataSpaceName);
  std::string out;
  AppendU32(out, 8);  // header length
  AppendU32(out, 1);  // one entry
  AppendU32(out, static_cast<uint32_t>(4 + entry.size()));
  return out + entry;
}

std::string DataSpaceDefinition() {
  std::string out;
  AppendU32(out, 8);  // header length
  AppendU32(out, 1);  // one transform
  AppendPrefixedText(out, kTransformName);
  return out;
}

std::string TransformInfo() {
  std::string id;
  AppendU32(id, 1);  // transform type
  AppendPrefixedText(id, "{FF9A3F03-56EF-4613-BDD5-5A41C1D07246}");
  std::string out;
  AppendU32(out, static_cast<uint32_t>(4 + id.size()));  // the header's length up to the transform's name
  out += id;
  AppendPrefixedText(out, "Microsoft.Container.EncryptionTransform");
  AppendVersion(out);
  AppendVersion(out);
  AppendVersion(out);
  AppendU32(out, 0);  // encryption name: none
  AppendU32(out, 0);  // block size
  AppendU32(out, 0);  // cipher mode
  AppendU32(out, 4);  // reserved, as hosts write it
  return out;
}

}  // namespace

std::string WriteEncryptedPackageFile(std::string_view encryptionInfo, std::string encryptedPackage) {
  CfbEntry dataSpaces = CfbEntry::Storage(
      kDataSpaces,
      {CfbEntry::Stream("Version", VersionStream()), CfbEntry::Stream("DataSpaceMap", DataSpaceMap()),
       CfbEntry::Storage("DataSpaceInfo", {CfbEntry::Stream(kDataSpaceName, DataSpaceDefinition())}),
       CfbEntry::Storage("TransformInfo",
                         {CfbEntry::Storage(kTransformName, {CfbEntry::Stream("\x06Primary", TransformInfo())})})});
  // Moved, not listed in braces: an initializer list would copy the package.
  std::vector<CfbEntry> entries;
  entries.push_back(CfbEntry::Stream("EncryptionInfo", std::string(encryptionInfo)));
  entries.push_back(CfbEntry::Stream("EncryptedPackage", std::move(encryptedPackage)));
  entries.push_back(std::move(dataSpaces));
  return WriteCompoundFile(CfbEntry::Storage("Root Entry", std::move(entries)));
}

EncryptedPackageFile ReadEncryptedPackageFile(std::string_view file) {
  const CfbEntry root = ReadCompoundFile(file);
  const CfbEntry* info = root.Find("EncryptionInfo");
  const CfbEntry* package = root.Find("EncryptedPackage");
  if (info == nullptr || info->storage || package == nullptr || package->storage) {
    throw LoaderFormatError("the file is a compound file but not an encrypted workbook");
  }
  return {info->data, package->data};
}
