#pragma once
// OOXML packages (ECMA-376 Part 2, Open Packaging Conventions): a zip archive whose
// [Content_Types].xml gives every part its content type and whose _rels/.rels names
// the main document part. Enough of it is read to tell what kind of document a
// package is and whether it carries a VBA project.
#include <map>
#include <string>
#include <string_view>

#include "office/byte_source.h"
#include "office/zip_archive.h"

// The content types of a package's parts: by part name, else by extension.
struct OoxmlContentTypes {
  std::map<std::string, std::string> defaults;   // extension, lower case -> content type
  std::map<std::string, std::string> overrides;  // part name without its leading '/', lower case -> content type

  // The content type of a part (name with or without its leading '/'); empty when none.
  std::string TypeOf(std::string_view partName) const;
};

// Throws PackageFormatError when the text holds no Types element.
OoxmlContentTypes ParseContentTypes(std::string_view xml);

// The target of the package relationship of type officeDocument, as a part name
// without its leading '/'; empty when there is none.
std::string MainPartName(std::string_view packageRelationships);

constexpr char kVbaProjectContentType[] = "application/vnd.ms-office.vbaProject";

struct OoxmlPackage {
  std::string mainPart;         // "xl/workbook.xml"
  std::string mainContentType;  // its content type
  bool hasVbaProject = false;   // a part of the VBA project's content type
};

// Reads the package's directory, content types and relationships. Throws
// PackageFormatError when the source is not a zip archive, lacks [Content_Types].xml,
// names no main part or names one that is not in the archive.
OoxmlPackage ReadOoxmlPackage(const ByteSource& source);
