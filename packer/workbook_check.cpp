#include "packer/workbook_check.h"

#include <algorithm>
#include <array>

#include "core/encoding/byte_io.h"
#include "office/compound_file.h"
#include "office/loader_format_error.h"
#include "office/ooxml_package.h"
#include "packer/file_io.h"
#include "packer/pack_config.h"
#include "packer/pack_error.h"

namespace {

struct OoxmlKind {
  const char* contentType;
  const char* format;
  const char* description;
};

const std::array<OoxmlKind, 9> kOoxmlKinds = {{
    {"application/vnd.ms-excel.sheet.macroEnabled.main+xml", ".xlsm", "a macro-enabled workbook (.xlsm)"},
    {"application/vnd.ms-excel.sheet.binary.macroEnabled.main", ".xlsb", "a binary workbook (.xlsb)"},
    {"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml", ".xlsx",
     "a macro-free workbook (.xlsx)"},
    {"application/vnd.openxmlformats-officedocument.spreadsheetml.template.main+xml", ".xltx",
     "a workbook template (.xltx)"},
    {"application/vnd.ms-excel.template.macroEnabled.main+xml", ".xltm", "a macro-enabled template (.xltm)"},
    {"application/vnd.ms-excel.addin.macroEnabled.main+xml", ".xlam", "an Excel add-in (.xlam)"},
    {"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml", ".docx",
     "a Word document (.docx)"},
    {"application/vnd.ms-word.document.macroEnabled.main+xml", ".docm", "a macro-enabled Word document (.docm)"},
    {"application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml", ".pptx",
     "a PowerPoint presentation (.pptx)"},
}};

constexpr std::string_view kCompoundFileSignature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
constexpr uint16_t kBiffBof = 0x0809;
constexpr uint16_t kBiff8Version = 0x0600;

bool StartsWith(std::string_view bytes, std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; }

// A guess at what a file that is no workbook is, for the message.
std::string WhatElse(std::string_view head) {
  if (StartsWith(head, "\xFF\xD8\xFF")) return "a JPEG picture";
  if (StartsWith(head, "\x89PNG")) return "a PNG picture";
  if (StartsWith(head, "GIF8")) return "a GIF picture";
  if (StartsWith(head, "%PDF")) return "a PDF document";
  if (StartsWith(head, "MZ")) return "a program";
  if (StartsWith(head, "PK\x03\x04")) return "a damaged zip archive (cut short?)";
  const bool text = std::all_of(head.begin(), head.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x20 || byte == '\t' || byte == '\r' || byte == '\n';
  });
  return text ? "text" : "neither an OOXML package (zip) nor a compound file";
}

WorkbookContents IdentifyCompoundFile(const ByteSource& source) {
  WorkbookContents contents;
  CfbEntry root;
  try {
    root = ReadCompoundFile(source.Read(0, static_cast<size_t>(source.Size())));
  } catch (const LoaderFormatError& error) {
    contents.description = std::string("a damaged ") + error.what();
    return contents;
  }
  if (const CfbEntry* workbook = root.Find("Workbook"); workbook && !workbook->storage) {
    if (ReadU16At(workbook->data, 0) != kBiffBof || ReadU16At(workbook->data, 4) != kBiff8Version) {
      contents.description = "a compound file whose Workbook stream is not an Excel 97-2003 workbook";
      return contents;
    }
    contents.format = ".xls";
    contents.description = "an Excel 97-2003 workbook (.xls)";
    contents.hasVbaProject = root.Find("_VBA_PROJECT_CUR") != nullptr;
    return contents;
  }
  if (root.Find("EncryptedPackage") && root.Find("EncryptionInfo")) {
    contents.encrypted = true;
    contents.description = "an encrypted OOXML package";
  } else if (root.Find("Book")) {
    contents.description = "an Excel 5.0/95 workbook, a format Excel no longer opens by default";
  } else if (root.Find("WordDocument")) {
    contents.description = "a Word 97-2003 document";
  } else {
    contents.description = "a compound file without a Workbook stream, not an Excel workbook";
  }
  return contents;
}

WorkbookContents IdentifyPackage(const ByteSource& source) {
  WorkbookContents contents;
  OoxmlPackage package;
  try {
    package = ReadOoxmlPackage(source);
  } catch (const PackageFormatError& error) {
    contents.description = error.what();
    return contents;
  }
  contents.hasVbaProject = package.hasVbaProject;
  for (const OoxmlKind& kind : kOoxmlKinds) {
    if (package.mainContentType == kind.contentType) {
      contents.format = kind.format;
      contents.description = kind.description;
      return contents;
    }
  }
  contents.format = "?";
  contents.description = "an OOXML package whose main part is of type '" + package.mainContentType + "', not a workbook";
  return contents;
}

bool IsWorkbookFormat(const std::string& format) { return format == ".xlsm" || format == ".xlsb" || format == ".xls"; }

}  // namespace

WorkbookContents IdentifyWorkbook(const ByteSource& source) {
  const std::string head = source.Read(0, 512);
  if (StartsWith(head, kCompoundFileSignature)) return IdentifyCompoundFile(source);
  if (IsZipArchive(source)) return IdentifyPackage(source);
  WorkbookContents contents;
  contents.description = WhatElse(head);
  return contents;
}

int32_t CheckWorkbook(const std::string& name, const ByteSource& source, bool formatFromContents,
                      std::vector<std::string>& warnings) {
  const std::optional<int32_t> named = WorkbookFormatFor(PathFromUtf8(name));
  const std::string extension = LowerExtension(PathFromUtf8(name));
  const WorkbookContents contents = IdentifyWorkbook(source);
  if (contents.encrypted && (extension == ".xlsm" || extension == ".xlsb")) {
    warnings.push_back(name + ": is encrypted, so its contents cannot be checked, and Excel asks the user for its password");
    return *named;
  }
  if (contents.encrypted) {
    throw BadInput(name, "is " + contents.description + ", whose format cannot be told from its contents; name it .xlsm or .xlsb");
  }
  if (contents.format.empty()) throw BadInput(name, "is not a workbook: " + contents.description);
  if (contents.format == ".xlsx") {
    throw BadInput(name, "is " + contents.description + " and cannot carry the application's macros; "
                         "save it in Excel as a macro-enabled workbook (.xlsm) and name that file");
  }
  if (!IsWorkbookFormat(contents.format)) {
    throw BadInput(name, "is " + contents.description + "; save it in Excel as a macro-enabled workbook (.xlsm)");
  }
  if (named && contents.format != extension) {
    // Excel refuses to open a workbook whose extension does not match its contents.
    throw BadInput(name, "is " + contents.description + ", not a " + extension + " workbook; name it " + contents.format);
  }
  if (!named && !formatFromContents) throw BadInput(name, "is not named .xlsm, .xlsb or .xls");
  if (contents.format != ".xls" && !contents.hasVbaProject) {
    warnings.push_back(name + ": has no VBA project, so the application carries no macros");
  }
  return *WorkbookFormatFor(PathFromUtf8("workbook" + contents.format));
}
