#include "packer/loader/loader_workbook.h"

#include "office/biff_workbook.h"
#include "office/compound_file.h"
#include "office/vba_project.h"

namespace {

// The attribute lines that bind a document module to its host object, named by the
// class id of the host's Workbook or Worksheet class.
std::string DocumentAttributes(const std::string& name, const std::string& baseClassId) {
  return "Attribute VB_Name = \"" + name + "\"\r\n"
         "Attribute VB_Base = \"0" + baseClassId + "\"\r\n"
         "Attribute VB_GlobalNameSpace = False\r\n"
         "Attribute VB_Creatable = False\r\n"
         "Attribute VB_PredeclaredId = True\r\n"
         "Attribute VB_Exposed = True\r\n"
         "Attribute VB_TemplateDerived = False\r\n"
         "Attribute VB_Customizable = True\r\n";
}

}  // namespace

std::string LoaderMacroSource() {
  std::string source;
  for (const char* c = kLoaderMacroFile; *c; ++c) {
    if (*c == '\n' && (source.empty() || source.back() != '\r')) source += '\r';
    source += *c;
  }
  return source;
}

std::string WriteLoaderWorkbook() {
  const std::vector<VbaModule> modules = {
      {"ThisWorkbook", DocumentAttributes("ThisWorkbook", "{00020819-0000-0000-C000-000000000046}") + LoaderMacroSource()},
      {"Sheet1", DocumentAttributes("Sheet1", "{00020820-0000-0000-C000-000000000046}")},
  };
  CfbEntry root = CfbEntry::Storage(
      "", {CfbEntry::Stream("Workbook", WriteBiffWorkbook({"ThisWorkbook", "Sheet1", "Sheet1"})),
           CfbEntry::Storage(kVbaProjectStorage, WriteVbaProject(modules))});
  // The class the host writes into its own workbooks' root: {00020820-0000-0000-C000-000000000046},
  // a workbook of this format, stored little-endian as every class id is.
  root.clsid = std::string("\x20\x08\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16);
  return WriteCompoundFile(root);
}
