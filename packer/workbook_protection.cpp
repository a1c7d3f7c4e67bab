#include "packer/workbook_protection.h"

#include "core/encoding/utf.h"
#include "core/payload/workbook_key.h"
#include "office/agile_encryption.h"
#include "office/compound_file.h"
#include "office/crypto_primitives.h"
#include "office/loader_format_error.h"
#include "packer/file_io.h"
#include "packer/pack_error.h"

namespace fs = std::filesystem;

namespace {

// An .xls encrypts with a FilePass record right after the first BOF of its Workbook stream.
bool IsEncryptedXls(std::string_view file) {
  try {
    const CfbEntry root = ReadCompoundFile(file);
    const CfbEntry* stream = root.Find("Workbook");
    if (stream == nullptr) stream = root.Find("Book");
    if (stream == nullptr) return false;
    const std::string& bytes = stream->data;
    size_t at = 0;
    for (int record = 0; record < 2 && at + 4 <= bytes.size(); ++record) {
      const unsigned type = static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8;
      const unsigned size = static_cast<uint8_t>(bytes[at + 2]) | static_cast<uint8_t>(bytes[at + 3]) << 8;
      if (type == 0x002F) return true;  // FilePass
      at += 4 + size;
    }
  } catch (const LoaderFormatError&) {
  }
  return false;
}

}  // namespace

ProtectedWorkbook ProtectWorkbook(const PackConfig& config, const std::string& password, std::string workbook,
                                  std::vector<std::string>& warnings) {
  const std::string name = PathToUtf8(config.workbook);
  if (IsEncryptedPackage(workbook) || IsEncryptedXls(workbook)) {
    throw BadInput(name, "is encrypted with a password; remove the password in the spreadsheet program (File, "
                         "Info, Protect Workbook, Encrypt with Password: empty) and build again");
  }
  if (!config.protectWorkbook) return {std::move(workbook), std::nullopt};
  if (LowerExtension(config.workbook) == ".xls") {
    warnings.push_back(name + ": an .xls workbook is packed unencrypted (its format has only the weak RC4 "
                              "encryption); save it as .xlsm or .xlsb to have it encrypted");
    return {std::move(workbook), std::nullopt};
  }
  try {
    const EncryptionSeeds seeds = EncryptionSeedsFor(password, workbook);
    std::string encrypted = EncryptWorkbookPackage(std::move(workbook), Utf8ToUtf16(password), seeds);
    return {std::move(encrypted), MaskWorkbookKey(password)};
  } catch (const LoaderFormatError& error) {
    throw BadInput(name, std::string("cannot be encrypted: ") + error.what());
  }
}
