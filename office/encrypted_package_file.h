#pragma once
// The compound file around an encrypted package: the EncryptionInfo and EncryptedPackage
// streams, and the \x06DataSpaces storage that tells the host the package stream is
// transformed by its strong-encryption transform.
#include <string>
#include <string_view>

struct EncryptedPackageFile {
  std::string encryptionInfo;
  std::string encryptedPackage;
};

// Throws LoaderFormatError for a stream the compound-file writer cannot hold.
std::string WriteEncryptedPackageFile(std::string_view encryptionInfo, std::string encryptedPackage);

// Throws LoaderFormatError when the file is not a compound file or lacks either stream.
EncryptedPackageFile ReadEncryptedPackageFile(std::string_view file);
